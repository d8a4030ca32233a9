#ifndef QUORIN_GLTEXTURE_H
#define QUORIN_GLTEXTURE_H

#include "Texture.h"

#include <cstdint>
#include <vector>

// A texture of racer_gl: always an OpenGL texture object, with a full copy
// of its texels in memory (0xAARRGGBB words, bottom row first, as OpenGL
// reads them) that lock hands out and unlock uploads again.
class GlTexture : public Texture {
public:
    // Use createGlTexture: the texels must be built first.
    GlTexture(bool renderTarget, int width, int height, std::vector<uint32_t>&& texels);
    ~GlTexture() override;
    uint32_t* lock() override;
    void unlock() override;

    uint32_t name() const { return name_; }
    bool isDirty() const { return dirty_; }

private:
    uint32_t name_;
    bool dirty_;
    std::vector<uint32_t> texels_;
};

// A new texture of the asked size, its storage the next powers of two,
// filled from width x height pixels (top row first) or all zero without
// pixels. Null, with a message on stderr, for a side that is not positive
// or too large, or while there is no OpenGL context.
GlTexture* createGlTexture(bool renderTarget, const uint32_t* pixels, int width, int height);

#endif
