#include "D3dIndexBuffer.h"

#include "D3dDevice.h"
#include "D3dVertexBuffer.h"  // maxBufferElements

#include <cstdio>

unsigned long D3dIndexBuffer::lockFlags(bool)
{
    return 0;
}

D3dIndexBuffer::D3dIndexBuffer(bool dynamic, int count, IDirect3DIndexBuffer9* buffer)
    : IndexBuffer(dynamic, count), buffer_(buffer), lockedSpare_(false), lockRefusalReported_(false)
{
}

D3dIndexBuffer::~D3dIndexBuffer()
{
    if (buffer_)
        buffer_->Release();
    // The base destructor takes the buffer out of the device's registry.
}

uint32_t* D3dIndexBuffer::lock()
{
    void* data = nullptr;
    if (buffer_ && SUCCEEDED(buffer_->Lock(0, 0, &data, lockFlags(dynamic_))) && data) {
        lockedSpare_ = false;
        return static_cast<uint32_t*>(data);
    }
    // A buffer without its Direct3D part was reported when it was made.
    if (buffer_ && !lockRefusalReported_) {
        std::fprintf(stderr, "racer_d3d: Direct3D refuses to lock an index buffer of %d indices; "
                             "what is written is dropped\n", count_);
        lockRefusalReported_ = true;
    }
    if (spare_.size() < static_cast<size_t>(count_) + 1)
        spare_.resize(static_cast<size_t>(count_) + 1);
    lockedSpare_ = true;
    return spare_.data();
}

void D3dIndexBuffer::unlock()
{
    if (lockedSpare_)
        lockedSpare_ = false;
    else if (buffer_)
        buffer_->Unlock();
}

D3dIndexBuffer* createD3dIndexBuffer(bool dynamic, int count)
{
    if (count < 0 || count > maxBufferElements) {
        std::fprintf(stderr, "racer_d3d: cannot create an index buffer of %d indices\n", count);
        return nullptr;
    }
    D3dDevice* device = D3dDevice::current();
    IDirect3DDevice9* d3dDevice = device ? device->d3dDevice() : nullptr;
    IDirect3DIndexBuffer9* buffer = nullptr;
    if (!d3dDevice) {
        std::fprintf(stderr, "racer_d3d: an index buffer of %d indices made while there is no Direct3D "
                             "device draws nothing\n", count);
    } else {
        // Direct3D has no empty buffers: an empty one still gets one index.
        const UINT bytes = static_cast<UINT>((count > 0 ? count : 1) * sizeof(uint32_t));
        const HRESULT result = d3dDevice->CreateIndexBuffer(
            bytes, dynamic ? D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY : D3DUSAGE_WRITEONLY, D3DFMT_INDEX32,
            dynamic ? D3DPOOL_DEFAULT : D3DPOOL_MANAGED, &buffer, nullptr);
        if (FAILED(result)) {
            std::fprintf(stderr, "racer_d3d: Direct3D refuses an index buffer of %d indices (error 0x%08lX); "
                                 "it draws nothing\n", count, static_cast<unsigned long>(result));
            buffer = nullptr;
        }
    }
    // Without its Direct3D part the buffer still takes what the game
    // writes (into a spare copy), so the game goes on.
    return new D3dIndexBuffer(dynamic, count, buffer);
}
