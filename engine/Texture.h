#ifndef QUORIN_TEXTURE_H
#define QUORIN_TEXTURE_H

#include <cstdint>
#include <string>
#include <vector>

// A device texture. Back-ends supply the constructor, destructor, lock and
// unlock; the rest is common. The storage is textureWidth x textureHeight
// (the next powers of two of the asked size) texels of 0xAARRGGBB.
class Texture {
public:
    // The base destructor removes the texture from the current device's
    // registry (Device::forgetTexture); implementations need not.
    virtual ~Texture();
    virtual bool isRenderTarget();
    virtual int width();
    virtual int height();
    virtual int textureWidth();
    virtual int textureHeight();
    // Draws over the window rectangle (x0, y0) top-left to (x1, y1)
    // bottom-right; the texture coordinates name the left, bottom, right
    // and top edges. Every device state is left as found, except the
    // texture bound on stage 0 and the bound buffers.
    virtual void draw(int x0, int y0, int x1, int y1,
                      float uLeft, float vBottom, float uRight, float vTop);
    // The whole picture at its own size, top-left corner at (x, y).
    virtual void drawAt(int x, int y);
    // Modifiable copy of the texels, row after row; valid until unlock.
    virtual uint32_t* lock() = 0;
    virtual void unlock() = 0;

    // With blackKey, texels whose red, green and blue are all 0 become fully
    // transparent black; every other texel gets the alpha.
    void setAlpha(uint8_t alpha, bool blackKey);

protected:
    Texture(bool renderTarget, int width, int height);

    int width_;
    int height_;
    int textureWidth_;
    int textureHeight_;
    bool renderTarget_;
};

// Largest side a texture may ask for; larger requests get no storage.
const int maxTextureSide = 16384;

// n when n is a power of two, else twice its highest set bit; 0 for n <= 0.
int nextPowerOfTwo(int n);

// The texels every back-end texture starts from: the pixels with alpha
// forced to 255, rows reversed (first texel row = last pixel row) and
// stretched over the power-of-two storage; all zero without pixels.
// Returns nextPowerOfTwo(width) * nextPowerOfTwo(height) texels, or none
// when a side is not positive or larger than maxTextureSide.
std::vector<uint32_t> buildTextureTexels(const uint32_t* pixels, int width, int height);

// Creation through the current device.
Texture* createTexture(bool renderTarget, const uint32_t* pixels, int width, int height);
Texture* createBlankTexture(bool renderTarget, int width, int height);
// Null, with a message on stderr, when the file is missing or not a picture.
Texture* loadTexture(bool renderTarget, const std::string& path, bool opaque);

#endif
