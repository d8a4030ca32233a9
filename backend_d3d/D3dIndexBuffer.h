#ifndef QUORIN_D3DINDEXBUFFER_H
#define QUORIN_D3DINDEXBUFFER_H

#include "D3dBufferStorage.h"
#include "IndexBuffer.h"

#include <cstdint>

// An index buffer of racer_d3d: a write-only Direct3D buffer of 32-bit
// indices, dynamic ones in the default pool with their contents kept in
// memory (D3dBufferStorage), static ones in the managed pool. Its contents
// are undefined until written.
class D3dIndexBuffer : public IndexBuffer {
public:
    // Use createD3dIndexBuffer. buffer may be null (Direct3D refused it):
    // every lock then answers the copy in memory.
    D3dIndexBuffer(bool dynamic, int count, IDirect3DIndexBuffer9* buffer);
    ~D3dIndexBuffer() override;
    // Never null (see D3dBufferStorage).
    uint32_t* lock() override { return storage_.lock(); }
    void unlock() override { storage_.unlock(); }

    IDirect3DIndexBuffer9* buffer() const { return storage_.buffer(); }

    // Around a reset of the device, dynamic buffers only: the Direct3D
    // buffer is released; then made again and filled from the copy.
    void releaseDeviceBuffer() { storage_.releaseDeviceBuffer(); }
    // Answers Direct3D's refusal to make it again.
    HRESULT restoreDeviceBuffer(IDirect3DDevice9* device);

private:
    D3dBufferStorage<uint32_t, IDirect3DIndexBuffer9> storage_;
};

// A new buffer of count indices on the current D3dDevice. Null, with a
// message on stderr, only for a negative or too large count. When Direct3D
// refuses the buffer, or while there is no Direct3D device, the buffer
// comes without its Direct3D part (told once on stderr): it locks, unlocks
// and draws nothing.
D3dIndexBuffer* createD3dIndexBuffer(bool dynamic, int count);

#endif
