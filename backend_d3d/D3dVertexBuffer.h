#ifndef QUORIN_D3DVERTEXBUFFER_H
#define QUORIN_D3DVERTEXBUFFER_H

#include "VertexBuffer.h"

#include <cstdint>
#include <vector>

struct IDirect3DVertexBuffer9;

// Most elements one vertex or index buffer may hold (a larger request is
// refused rather than allocated).
const int maxBufferElements = 1 << 22;

// A vertex buffer of racer_d3d: a write-only Direct3D vertex buffer of
// Vertex records (44 bytes, FVF 0x252), dynamic ones in the default pool,
// static ones in the managed pool. Both keep their contents from lock to
// lock, so what a caller does not write stays as it was (a new buffer's
// opaque white colours among it).
class D3dVertexBuffer : public VertexBuffer {
public:
    // Position, normal, colour, two texture-coordinate pairs.
    static const unsigned long vertexFormat = 0x252;
    // The flags of lock (none) and of lockToRewrite (D3DLOCK_DISCARD for a
    // dynamic buffer, none for a static one).
    static unsigned long lockFlags(bool dynamic, bool rewrite);

    // Use createD3dVertexBuffer. buffer may be null (Direct3D refused it):
    // every lock then answers the spare copy.
    D3dVertexBuffer(bool dynamic, int count, IDirect3DVertexBuffer9* buffer);
    ~D3dVertexBuffer() override;
    // Should Direct3D refuse the lock, the answer is a spare copy whose
    // contents reach no drawing (the first refusal is told on stderr),
    // never null.
    Vertex* lock() override;
    // For a caller that writes every vertex before unlock: a dynamic
    // buffer's former contents are discarded, so Direct3D need not wait
    // until drawing from them is done.
    Vertex* lockToRewrite();
    void unlock() override;

    IDirect3DVertexBuffer9* buffer() const { return buffer_; }

private:
    Vertex* lockWith(unsigned long flags);

    IDirect3DVertexBuffer9* buffer_;
    bool lockedSpare_;
    bool lockRefusalReported_;
    std::vector<Vertex> spare_;
};

// A new buffer of count vertices on the current D3dDevice, each opaque
// white. Null, with a message on stderr, only for a negative or too large
// count. When Direct3D refuses the buffer, or while there is no Direct3D
// device, the buffer comes without its Direct3D part (told once on stderr):
// it locks, unlocks and draws nothing.
D3dVertexBuffer* createD3dVertexBuffer(bool dynamic, int count);

#endif
