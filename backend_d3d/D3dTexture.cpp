#include "D3dTexture.h"

#include "D3dDevice.h"

#include <cstdio>
#include <cstring>
#include <utility>

namespace {

// A render-target texture of width x height in the default pool and its
// surface; on failure both stay null.
HRESULT createRenderTarget(IDirect3DDevice9* device, int width, int height, IDirect3DTexture9** texture,
                           IDirect3DSurface9** surface)
{
    HRESULT result = device->CreateTexture(static_cast<UINT>(width), static_cast<UINT>(height), 1,
                                           D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, texture,
                                           nullptr);
    if (SUCCEEDED(result))
        result = (*texture)->GetSurfaceLevel(0, surface);
    if (FAILED(result)) {
        if (*surface)
            (*surface)->Release();
        if (*texture)
            (*texture)->Release();
        *texture = nullptr;
        *surface = nullptr;
    }
    return result;
}

} // namespace

D3dTexture::D3dTexture(bool renderTarget, int width, int height, std::vector<uint32_t>&& texels,
                       IDirect3DTexture9* texture, IDirect3DSurface9* surface)
    : Texture(renderTarget, width, height),
      texture_(texture),
      surface_(surface),
      dirty_(false),
      lockRefusalReported_(false),
      releasedForReset_(false),
      texels_(std::move(texels))
{
    if (!renderTarget_)
        upload(D3DLOCK_NOSYSLOCK);
}

D3dTexture::~D3dTexture()
{
    if (surface_)
        surface_->Release();
    if (texture_)
        texture_->Release();
    // The base destructor takes the texture out of the device's registry.
}

uint32_t* D3dTexture::lock()
{
    dirty_ = true;
    return texels_.data();
}

void D3dTexture::unlock()
{
    if (!renderTarget_)
        upload(0);
    dirty_ = false;
}

void D3dTexture::upload(unsigned flags)
{
    // A texture without its Direct3D part was reported when it was made.
    if (!texture_)
        return;
    D3DLOCKED_RECT locked = {};
    if (FAILED(texture_->LockRect(0, &locked, nullptr, flags))) {
        if (!lockRefusalReported_)
            std::fprintf(stderr, "racer_d3d: Direct3D refuses to lock a texture of %d x %d; its picture "
                                 "is not updated\n", width_, height_);
        lockRefusalReported_ = true;
        return;
    }
    const size_t rowBytes = static_cast<size_t>(textureWidth_) * sizeof(uint32_t);
    unsigned char* row = static_cast<unsigned char*>(locked.pBits);
    for (int y = 0; y < textureHeight_; ++y) {
        std::memcpy(row, texels_.data() + static_cast<size_t>(y) * textureWidth_, rowBytes);
        row += locked.Pitch;
    }
    texture_->UnlockRect(0);
}

void D3dTexture::releaseDeviceTexture()
{
    if (!renderTarget_)
        return;
    if (surface_)
        surface_->Release();
    if (texture_) {
        texture_->Release();
        releasedForReset_ = true;
    }
    surface_ = nullptr;
    texture_ = nullptr;
}

HRESULT D3dTexture::restoreDeviceTexture(IDirect3DDevice9* device)
{
    if (!renderTarget_ || texture_)
        return S_OK;
    if (!device)
        return E_FAIL;
    const HRESULT result = createRenderTarget(device, width_, height_, &texture_, &surface_);
    if (FAILED(result))
        return releasedForReset_ ? result : S_OK;
    releasedForReset_ = false;
    device->ColorFill(surface_, nullptr, 0);
    return S_OK;
}

D3dTexture* createD3dTexture(bool renderTarget, const uint32_t* pixels, int width, int height)
{
    std::vector<uint32_t> texels = buildTextureTexels(pixels, width, height);
    if (texels.empty()) {
        std::fprintf(stderr, "racer_d3d: cannot create a texture of %d x %d pixels\n", width, height);
        return nullptr;
    }
    D3dDevice* device = D3dDevice::current();
    IDirect3DDevice9* d3dDevice = device ? device->d3dDevice() : nullptr;
    if (!d3dDevice) {
        std::fprintf(stderr, "racer_d3d: a texture of %d x %d pixels made while there is no Direct3D "
                             "device shows nothing\n", width, height);
        return new D3dTexture(renderTarget, width, height, std::move(texels), nullptr, nullptr);
    }

    IDirect3DTexture9* texture = nullptr;
    IDirect3DSurface9* surface = nullptr;
    HRESULT result;
    if (renderTarget) {
        result = createRenderTarget(d3dDevice, width, height, &texture, &surface);
    } else {
        result = d3dDevice->CreateTexture(static_cast<UINT>(nextPowerOfTwo(width)),
                                          static_cast<UINT>(nextPowerOfTwo(height)), 1, 0,
                                          D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr);
    }
    if (FAILED(result)) {
        std::fprintf(stderr, "racer_d3d: Direct3D refuses a %stexture of %d x %d pixels (error 0x%08lX); "
                             "it shows nothing\n",
                     renderTarget ? "render-target " : "", width, height, static_cast<unsigned long>(result));
        if (surface)
            surface->Release();
        if (texture)
            texture->Release();
        texture = nullptr;
        surface = nullptr;
    }
    // Without its Direct3D part the texture keeps its copy of the texels,
    // which lock hands out as ever, so the game goes on.
    return new D3dTexture(renderTarget, width, height, std::move(texels), texture, surface);
}
