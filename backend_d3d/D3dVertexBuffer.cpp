#include "D3dVertexBuffer.h"

#include "D3dDevice.h"

#include <cstdio>
#include <cstring>

namespace {

// Direct3D has no empty buffers: an empty one still gets one vertex.
UINT bufferBytes(int count)
{
    return static_cast<UINT>((count > 0 ? count : 1) * sizeof(Vertex));
}

DWORD bufferUsage(bool dynamic)
{
    return dynamic ? D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY : D3DUSAGE_WRITEONLY;
}

} // namespace

D3dVertexBuffer::D3dVertexBuffer(bool dynamic, int count, IDirect3DVertexBuffer9* buffer)
    : VertexBuffer(dynamic, count), buffer_(buffer), lockedCopy_(false), lockRefusalReported_(false)
{
    if (dynamic_)
        copy_.resize(static_cast<size_t>(count_) + 1);
    Vertex* vertices = lock();
    for (int i = 0; i < count_; ++i)
        vertices[i].color = 0xFFFFFFFFu;
    unlock();
}

D3dVertexBuffer::~D3dVertexBuffer()
{
    if (buffer_)
        buffer_->Release();
    // The base destructor takes the buffer out of the device's registry.
}

Vertex* D3dVertexBuffer::lock()
{
    if (!dynamic_) {
        void* data = nullptr;
        if (buffer_ && SUCCEEDED(buffer_->Lock(0, 0, &data, 0)) && data) {
            lockedCopy_ = false;
            return static_cast<Vertex*>(data);
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

Vertex* D3dVertexBuffer::lockToRewrite()
{
    // The copy is sent whole and the former contents discarded either way.
    return lock();
}

void D3dVertexBuffer::unlock()
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

void D3dVertexBuffer::upload()
{
    if (!buffer_)
        return;
    void* data = nullptr;
    if (FAILED(buffer_->Lock(0, 0, &data, D3DLOCK_DISCARD)) || !data) {
        tellRefusedLock();
        return;
    }
    std::memcpy(data, copy_.data(), static_cast<size_t>(count_) * sizeof(Vertex));
    buffer_->Unlock();
}

void D3dVertexBuffer::tellRefusedLock()
{
    if (lockRefusalReported_)
        return;
    std::fprintf(stderr, "racer_d3d: Direct3D refuses to lock a vertex buffer of %d vertices; "
                         "what is written is dropped\n", count_);
    lockRefusalReported_ = true;
}

void D3dVertexBuffer::releaseDeviceBuffer()
{
    if (!dynamic_ || !buffer_)
        return;
    buffer_->Release();
    buffer_ = nullptr;
}

void D3dVertexBuffer::restoreDeviceBuffer(IDirect3DDevice9* device)
{
    if (!dynamic_ || buffer_ || !device)
        return;
    const HRESULT result = device->CreateVertexBuffer(bufferBytes(count_), bufferUsage(true), vertexFormat,
                                                      D3DPOOL_DEFAULT, &buffer_, nullptr);
    if (FAILED(result)) {
        std::fprintf(stderr, "racer_d3d: after the device's reset Direct3D refuses a vertex buffer of %d "
                             "vertices (error 0x%08lX); it draws nothing\n",
                     count_, static_cast<unsigned long>(result));
        buffer_ = nullptr;
        return;
    }
    upload();
}

D3dVertexBuffer* createD3dVertexBuffer(bool dynamic, int count)
{
    if (count < 0 || count > maxBufferElements) {
        std::fprintf(stderr, "racer_d3d: cannot create a vertex buffer of %d vertices\n", count);
        return nullptr;
    }
    D3dDevice* device = D3dDevice::current();
    IDirect3DDevice9* d3dDevice = device ? device->d3dDevice() : nullptr;
    IDirect3DVertexBuffer9* buffer = nullptr;
    if (!d3dDevice) {
        std::fprintf(stderr, "racer_d3d: a vertex buffer of %d vertices made while there is no Direct3D "
                             "device draws nothing\n", count);
    } else {
        const HRESULT result = d3dDevice->CreateVertexBuffer(
            bufferBytes(count), bufferUsage(dynamic), D3dVertexBuffer::vertexFormat,
            dynamic ? D3DPOOL_DEFAULT : D3DPOOL_MANAGED, &buffer, nullptr);
        if (FAILED(result)) {
            std::fprintf(stderr, "racer_d3d: Direct3D refuses a vertex buffer of %d vertices (error 0x%08lX); "
                                 "it draws nothing\n", count, static_cast<unsigned long>(result));
            buffer = nullptr;
        }
    }
    // Without its Direct3D part the buffer still takes what the game
    // writes (into its copy), so the game goes on.
    return new D3dVertexBuffer(dynamic, count, buffer);
}
