#ifndef QUORIN_D3DVERTEXBUFFER_H
#define QUORIN_D3DVERTEXBUFFER_H

#include "VertexBuffer.h"

#include <cstdint>
#include <vector>

struct IDirect3DDevice9;
struct IDirect3DVertexBuffer9;

// Most elements one vertex or index buffer may hold (a larger request is
// refused rather than allocated).
const int maxBufferElements = 1 << 22;

// A vertex buffer of racer_d3d: a write-only Direct3D vertex buffer of
// Vertex records (44 bytes, FVF 0x252), dynamic ones in the default pool,
// static ones in the managed pool. Both keep their contents from lock to
// lock, so what a caller does not write stays as it was (a new buffer's
// opaque white colours among it).
//
// A dynamic buffer keeps its contents in memory: a lock hands out that
// copy and unlock sends the whole of it to Direct3D (discarding what the
// buffer held, so Direct3D need not wait for drawing from it). The copy is
// what refills the buffer after a reset of the device, which takes every
// default-pool buffer away (releaseDeviceBuffer, restoreDeviceBuffer).
class D3dVertexBuffer : public VertexBuffer {
public:
    // Position, normal, colour, two texture-coordinate pairs.
    static const unsigned long vertexFormat = 0x252;

    // Use createD3dVertexBuffer. buffer may be null (Direct3D refused it):
    // every lock then answers the copy in memory.
    D3dVertexBuffer(bool dynamic, int count, IDirect3DVertexBuffer9* buffer);
    ~D3dVertexBuffer() override;
    // Should Direct3D refuse the lock, the answer is a spare copy whose
    // contents reach no drawing (the first refusal is told on stderr),
    // never null.
    Vertex* lock() override;
    // For a caller that writes every vertex before unlock.
    Vertex* lockToRewrite();
    void unlock() override;

    IDirect3DVertexBuffer9* buffer() const { return buffer_; }

    // Around a reset of the device, dynamic buffers only (a static one is
    // in the managed pool, which Direct3D keeps): the Direct3D buffer is
    // released; then made again on the device and filled from the copy.
    // A buffer Direct3D refuses again draws nothing (told on stderr).
    void releaseDeviceBuffer();
    void restoreDeviceBuffer(IDirect3DDevice9* device);

private:
    void upload();
    void tellRefusedLock();

    IDirect3DVertexBuffer9* buffer_;
    bool lockedCopy_;
    bool lockRefusalReported_;
    // A dynamic buffer's contents; for a static one, the spare copy a
    // refused lock answers.
    std::vector<Vertex> copy_;
};

// A new buffer of count vertices on the current D3dDevice, each opaque
// white. Null, with a message on stderr, only for a negative or too large
// count. When Direct3D refuses the buffer, or while there is no Direct3D
// device, the buffer comes without its Direct3D part (told once on stderr):
// it locks, unlocks and draws nothing.
D3dVertexBuffer* createD3dVertexBuffer(bool dynamic, int count);

#endif
