#ifndef QUORIN_D3DINDEXBUFFER_H
#define QUORIN_D3DINDEXBUFFER_H

#include "IndexBuffer.h"

#include <cstdint>
#include <vector>

struct IDirect3DDevice9;
struct IDirect3DIndexBuffer9;

// An index buffer of racer_d3d: a write-only Direct3D buffer of 32-bit
// indices, dynamic ones in the default pool, static ones in the managed
// pool. Its contents are undefined until written.
//
// A dynamic buffer keeps its contents in memory, as a dynamic vertex
// buffer does: a lock hands out the copy, unlock sends it whole, and the
// copy refills the buffer after a reset of the device.
class D3dIndexBuffer : public IndexBuffer {
public:
    // Use createD3dIndexBuffer. buffer may be null (Direct3D refused it):
    // every lock then answers the copy in memory.
    D3dIndexBuffer(bool dynamic, int count, IDirect3DIndexBuffer9* buffer);
    ~D3dIndexBuffer() override;
    // Should Direct3D refuse the lock, the answer is a spare copy whose
    // contents reach no drawing (the first refusal is told on stderr),
    // never null.
    uint32_t* lock() override;
    void unlock() override;

    IDirect3DIndexBuffer9* buffer() const { return buffer_; }

    // Around a reset of the device, dynamic buffers only: the Direct3D
    // buffer is released; then made again and filled from the copy. A
    // buffer Direct3D refuses again draws nothing (told on stderr).
    void releaseDeviceBuffer();
    void restoreDeviceBuffer(IDirect3DDevice9* device);

private:
    void upload();
    void tellRefusedLock();

    IDirect3DIndexBuffer9* buffer_;
    bool lockedCopy_;
    bool lockRefusalReported_;
    // A dynamic buffer's contents; for a static one, the spare copy a
    // refused lock answers.
    std::vector<uint32_t> copy_;
};

// A new buffer of count indices on the current D3dDevice. Null, with a
// message on stderr, only for a negative or too large count. When Direct3D
// refuses the buffer, or while there is no Direct3D device, the buffer
// comes without its Direct3D part (told once on stderr): it locks, unlocks
// and draws nothing.
D3dIndexBuffer* createD3dIndexBuffer(bool dynamic, int count);

#endif
