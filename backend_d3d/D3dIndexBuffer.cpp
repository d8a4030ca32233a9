#include "D3dIndexBuffer.h"

#include "D3dDevice.h"
#include "D3dVertexBuffer.h"  // maxBufferElements

#include <cstdio>

D3dIndexBuffer::D3dIndexBuffer(bool dynamic, int count, IDirect3DIndexBuffer9* buffer)
    : IndexBuffer(dynamic, count), storage_(dynamic, count, buffer, "an index buffer", "indices")
{
}

// The storage releases the Direct3D buffer; the base destructor takes the
// buffer out of the device's registry.
D3dIndexBuffer::~D3dIndexBuffer() = default;

HRESULT D3dIndexBuffer::restoreDeviceBuffer(IDirect3DDevice9* device)
{
    if (!device)
        return E_FAIL;
    return storage_.restoreDeviceBuffer([this, device](IDirect3DIndexBuffer9** made) {
        return device->CreateIndexBuffer(d3dBufferBytes<uint32_t>(count_), d3dBufferUsage(true), D3DFMT_INDEX32,
                                         D3DPOOL_DEFAULT, made, nullptr);
    });
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
            d3dBufferBytes<uint32_t>(count), d3dBufferUsage(dynamic), D3DFMT_INDEX32,
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
