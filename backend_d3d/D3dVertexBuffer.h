#ifndef QUORIN_D3DVERTEXBUFFER_H
#define QUORIN_D3DVERTEXBUFFER_H

#include "D3dBufferStorage.h"
#include "VertexBuffer.h"

// Most elements one vertex or index buffer may hold (a larger request is
// refused rather than allocated).
const int maxBufferElements = 1 << 22;

// A vertex buffer of racer_d3d: a write-only Direct3D vertex buffer of
// Vertex records (44 bytes, FVF 0x252), dynamic ones in the default pool
// with their contents kept in memory (D3dBufferStorage), static ones in the
// managed pool. Both keep their contents from lock to lock, so what a
// caller does not write stays as it was (a new buffer's opaque white
// colours among it).
class D3dVertexBuffer : public VertexBuffer {
public:
    // Position, normal, colour, two texture-coordinate pairs.
    static const unsigned long vertexFormat = 0x252;

    // Use createD3dVertexBuffer. buffer may be null (Direct3D refused it):
    // every lock then answers the copy in memory.
    D3dVertexBuffer(bool dynamic, int count, IDirect3DVertexBuffer9* buffer);
    ~D3dVertexBuffer() override;
    // Never null (see D3dBufferStorage).
    Vertex* lock() override { return storage_.lock(); }
    // For a caller that writes every vertex before unlock.
    Vertex* lockToRewrite() { return storage_.lock(); }
    void unlock() override { storage_.unlock(); }

    IDirect3DVertexBuffer9* buffer() const { return storage_.buffer(); }

    // Around a reset of the device, dynamic buffers only: the Direct3D
    // buffer is released; then made again on the device and filled from
    // the copy.
    void releaseDeviceBuffer() { storage_.releaseDeviceBuffer(); }
    // Answers Direct3D's refusal to make it again.
    HRESULT restoreDeviceBuffer(IDirect3DDevice9* device);

private:
    D3dBufferStorage<Vertex, IDirect3DVertexBuffer9> storage_;
};

// A new buffer of count vertices on the current D3dDevice, each opaque
// white. Null, with a message on stderr, only for a negative or too large
// count. When Direct3D refuses the buffer, or while there is no Direct3D
// device, the buffer comes without its Direct3D part (told once on stderr):
// it locks, unlocks and draws nothing.
D3dVertexBuffer* createD3dVertexBuffer(bool dynamic, int count);

#endif
