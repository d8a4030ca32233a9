#ifndef QUORIN_D3DINDEXBUFFER_H
#define QUORIN_D3DINDEXBUFFER_H

#include "IndexBuffer.h"

#include <cstdint>
#include <vector>

struct IDirect3DIndexBuffer9;

// An index buffer of racer_d3d: a write-only Direct3D buffer of 32-bit
// indices, dynamic ones in the default pool, static ones in the managed
// pool. Its contents are undefined until written.
class D3dIndexBuffer : public IndexBuffer {
public:
    // The lock flags: none, whether dynamic or static. (Direct3D refuses
    // D3DLOCK_DISCARD on a static buffer.)
    static unsigned long lockFlags(bool dynamic);

    // Use createD3dIndexBuffer. buffer may be null (Direct3D refused it):
    // every lock then answers the spare copy.
    D3dIndexBuffer(bool dynamic, int count, IDirect3DIndexBuffer9* buffer);
    ~D3dIndexBuffer() override;
    // Should Direct3D refuse the lock, the answer is a spare copy whose
    // contents reach no drawing (the first refusal is told on stderr),
    // never null.
    uint32_t* lock() override;
    void unlock() override;

    IDirect3DIndexBuffer9* buffer() const { return buffer_; }

private:
    IDirect3DIndexBuffer9* buffer_;
    bool lockedSpare_;
    bool lockRefusalReported_;
    std::vector<uint32_t> spare_;
};

// A new buffer of count indices on the current D3dDevice. Null, with a
// message on stderr, only for a negative or too large count. When Direct3D
// refuses the buffer, or while there is no Direct3D device, the buffer
// comes without its Direct3D part (told once on stderr): it locks, unlocks
// and draws nothing.
D3dIndexBuffer* createD3dIndexBuffer(bool dynamic, int count);

#endif
