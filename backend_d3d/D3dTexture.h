#ifndef QUORIN_D3DTEXTURE_H
#define QUORIN_D3DTEXTURE_H

#include "Texture.h"

#include <windows.h>

#include <cstdint>
#include <vector>

struct IDirect3DDevice9;
struct IDirect3DTexture9;
struct IDirect3DSurface9;

// A texture of racer_d3d: a one-level A8R8G8B8 Direct3D texture with a full
// copy of its texels in memory (0xAARRGGBB words, bottom picture row first)
// that lock hands out and unlock uploads again. An ordinary texture lives in
// the managed pool at its power-of-two size; a render target lives in the
// default pool at exactly the asked size, and its level-0 surface is what
// Device::setRenderTarget draws into. A render target is never uploaded:
// Direct3D does not lock it, and its picture comes from drawing.
class D3dTexture : public Texture {
public:
    // Use createD3dTexture: the texels and the Direct3D texture come first.
    // texture (and surface) may be null: Direct3D refused them.
    D3dTexture(bool renderTarget, int width, int height, std::vector<uint32_t>&& texels,
               IDirect3DTexture9* texture, IDirect3DSurface9* surface);
    ~D3dTexture() override;
    uint32_t* lock() override;
    void unlock() override;

    IDirect3DTexture9* texture() const { return texture_; }
    // Render targets only; null otherwise.
    IDirect3DSurface9* surface() const { return surface_; }
    bool isDirty() const { return dirty_; }

    // Around a reset of the device, render targets only (an ordinary
    // texture is in the managed pool, which Direct3D keeps): the Direct3D
    // texture and its surface are released; then made again, cleared to
    // transparent black as a new render target is. What was drawn into it
    // before is gone: its picture comes from drawing. restore answers
    // Direct3D's refusal to make it again; a render target Direct3D had
    // refused already is tried again and stays without, as it was.
    void releaseDeviceTexture();
    HRESULT restoreDeviceTexture(IDirect3DDevice9* device);

private:
    void upload(unsigned flags);

    IDirect3DTexture9* texture_;
    IDirect3DSurface9* surface_;
    bool dirty_;
    bool lockRefusalReported_;
    // The Direct3D texture was released for a reset and is to be made again.
    bool releasedForReset_;
    std::vector<uint32_t> texels_;
};

// A new texture of the asked size on the current D3dDevice, filled from
// width x height pixels (top row first) or all zero without pixels. Null,
// with a message on stderr, only for a side that is not positive or too
// large for the copy in memory. When Direct3D refuses the texture, or while
// there is no Direct3D device, the texture comes without its Direct3D part
// (told once on stderr): it locks and unlocks as ever and shows nothing.
D3dTexture* createD3dTexture(bool renderTarget, const uint32_t* pixels, int width, int height);

#endif
