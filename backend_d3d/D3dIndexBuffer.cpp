#include "D3dIndexBuffer.h"

#include "D3dDevice.h"
#include "D3dVertexBuffer.h"  // maxBufferElements

#include <cstdio>
#include <cstring>

namespace {

// Direct3D has no empty buffers: an empty one still gets one index.
UINT bufferBytes(int count)
{
    return static_cast<UINT>((count > 0 ? count : 1) * sizeof(uint32_t));
}

DWORD bufferUsage(bool dynamic)
{
    return dynamic ? D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY : D3DUSAGE_WRITEONLY;
}

} // namespace

D3dIndexBuffer::D3dIndexBuffer(bool dynamic, int count, IDirect3DIndexBuffer9* buffer)
    : IndexBuffer(dynamic, count), buffer_(buffer), lockedCopy_(false), lockRefusalReported_(false)
{
    if (dynamic_)
        copy_.resize(static_cast<size_t>(count_) + 1);
}

D3dIndexBuffer::~D3dIndexBuffer()
{
    if (buffer_)
        buffer_->Release();
    // The base destructor takes the buffer out of the device's registry.
}

uint32_t* D3dIndexBuffer::lock()
{
    if (!dynamic_) {
        // No D3DLOCK_DISCARD: Direct3D refuses it on a static buffer.
        void* data = nullptr;
        if (buffer_ && SUCCEEDED(buffer_->Lock(0, 0, &data, 0)) && data) {
            lockedCopy_ = false;
            return static_cast<uint32_t*>(data);
        }
        // A buffer without its Direct3D part was reported when it was made.
        if (buffer_)
            tellRefusedLock();
        if (copy_.size() < static_cast<size_t>(count_) + 1)
            copy_.resize(static_cast<size_t>(count_) + 1);
    }
    lockedCopy_ = true;
    return copy_.data();
}

void D3dIndexBuffer::unlock()
{
    if (!lockedCopy_) {
        if (buffer_)
            buffer_->Unlock();
        return;
    }
    lockedCopy_ = false;
    if (dynamic_)
        upload();
}

void D3dIndexBuffer::upload()
{
    if (!buffer_)
        return;
    void* data = nullptr;
    if (FAILED(buffer_->Lock(0, 0, &data, D3DLOCK_DISCARD)) || !data) {
        tellRefusedLock();
        return;
    }
    std::memcpy(data, copy_.data(), static_cast<size_t>(count_) * sizeof(uint32_t));
    buffer_->Unlock();
}

void D3dIndexBuffer::tellRefusedLock()
{
    if (lockRefusalReported_)
        return;
    std::fprintf(stderr, "racer_d3d: Direct3D refuses to lock an index buffer of %d indices; "
                         "what is written is dropped\n", count_);
    lockRefusalReported_ = true;
}

void D3dIndexBuffer::releaseDeviceBuffer()
{
    if (!dynamic_ || !buffer_)
        return;
    buffer_->Release();
    buffer_ = nullptr;
}

void D3dIndexBuffer::restoreDeviceBuffer(IDirect3DDevice9* device)
{
    if (!dynamic_ || buffer_ || !device)
        return;
    const HRESULT result = device->CreateIndexBuffer(bufferBytes(count_), bufferUsage(true), D3DFMT_INDEX32,
                                                     D3DPOOL_DEFAULT, &buffer_, nullptr);
    if (FAILED(result)) {
        std::fprintf(stderr, "racer_d3d: after the device's reset Direct3D refuses an index buffer of %d "
                             "indices (error 0x%08lX); it draws nothing\n",
                     count_, static_cast<unsigned long>(result));
        buffer_ = nullptr;
        return;
    }
    upload();
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
        const HRESULT result = d3dDevice->CreateIndexBuffer(
            bufferBytes(count), bufferUsage(dynamic), D3DFMT_INDEX32,
            dynamic ? D3DPOOL_DEFAULT : D3DPOOL_MANAGED, &buffer, nullptr);
        if (FAILED(result)) {
            std::fprintf(stderr, "racer_d3d: Direct3D refuses an index buffer of %d indices (error 0x%08lX); "
                                 "it draws nothing\n", count, static_cast<unsigned long>(result));
            buffer = nullptr;
        }
    }
    // Without its Direct3D part the buffer still takes what the game
    // writes (into its copy), so the game goes on.
    return new D3dIndexBuffer(dynamic, count, buffer);
}
