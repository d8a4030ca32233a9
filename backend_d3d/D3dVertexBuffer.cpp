#include "D3dVertexBuffer.h"

#include "D3dDevice.h"

#include <cstdio>

D3dVertexBuffer::D3dVertexBuffer(bool dynamic, int count, IDirect3DVertexBuffer9* buffer)
    : VertexBuffer(dynamic, count), storage_(dynamic, count, buffer, "a vertex buffer", "vertices")
{
    Vertex* vertices = lock();
    for (int i = 0; i < count_; ++i)
        vertices[i].color = 0xFFFFFFFFu;
    unlock();
}

// The storage releases the Direct3D buffer; the base destructor takes the
// buffer out of the device's registry.
D3dVertexBuffer::~D3dVertexBuffer() = default;

HRESULT D3dVertexBuffer::restoreDeviceBuffer(IDirect3DDevice9* device)
{
    if (!device)
        return E_FAIL;
    return storage_.restoreDeviceBuffer([this, device](IDirect3DVertexBuffer9** made) {
        return device->CreateVertexBuffer(d3dBufferBytes<Vertex>(count_), d3dBufferUsage(true), vertexFormat,
                                          D3DPOOL_DEFAULT, made, nullptr);
    });
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
            d3dBufferBytes<Vertex>(count), d3dBufferUsage(dynamic), D3dVertexBuffer::vertexFormat,
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
