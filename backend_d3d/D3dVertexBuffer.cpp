#include "D3dVertexBuffer.h"

#include "D3dDevice.h"

#include <cstdio>

unsigned long D3dVertexBuffer::lockFlags(bool dynamic, bool rewrite)
{
    return dynamic && rewrite ? D3DLOCK_DISCARD : 0;
}

D3dVertexBuffer::D3dVertexBuffer(bool dynamic, int count, IDirect3DVertexBuffer9* buffer)
    : VertexBuffer(dynamic, count), buffer_(buffer), lockedSpare_(false), lockRefusalReported_(false)
{
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
    return lockWith(lockFlags(dynamic_, false));
}

Vertex* D3dVertexBuffer::lockToRewrite()
{
    return lockWith(lockFlags(dynamic_, true));
}

Vertex* D3dVertexBuffer::lockWith(unsigned long flags)
{
    void* data = nullptr;
    if (buffer_ && SUCCEEDED(buffer_->Lock(0, 0, &data, flags)) && data) {
        lockedSpare_ = false;
        return static_cast<Vertex*>(data);
    }
    // A buffer without its Direct3D part was reported when it was made.
    if (buffer_ && !lockRefusalReported_) {
        std::fprintf(stderr, "racer_d3d: Direct3D refuses to lock a vertex buffer of %d vertices; "
                             "what is written is dropped\n", count_);
        lockRefusalReported_ = true;
    }
    if (spare_.size() < static_cast<size_t>(count_) + 1)
        spare_.resize(static_cast<size_t>(count_) + 1);
    lockedSpare_ = true;
    return spare_.data();
}

void D3dVertexBuffer::unlock()
{
    if (lockedSpare_)
        lockedSpare_ = false;
    else if (buffer_)
        buffer_->Unlock();
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
        // Direct3D has no empty buffers: an empty one still gets one vertex.
        const UINT bytes = static_cast<UINT>((count > 0 ? count : 1) * sizeof(Vertex));
        const HRESULT result = d3dDevice->CreateVertexBuffer(
            bytes, dynamic ? D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY : D3DUSAGE_WRITEONLY,
            D3dVertexBuffer::vertexFormat, dynamic ? D3DPOOL_DEFAULT : D3DPOOL_MANAGED, &buffer, nullptr);
        if (FAILED(result)) {
            std::fprintf(stderr, "racer_d3d: Direct3D refuses a vertex buffer of %d vertices (error 0x%08lX); "
                                 "it draws nothing\n", count, static_cast<unsigned long>(result));
            buffer = nullptr;
        }
    }
    // Without its Direct3D part the buffer still takes what the game
    // writes (into a spare copy), so the game goes on.
    return new D3dVertexBuffer(dynamic, count, buffer);
}
