#include "GlTexture.h"

#include "GlDevice.h"

#include <GL/glew.h>
#include <GL/glu.h>

#include <cstdio>
#include <utility>

GlTexture::GlTexture(bool renderTarget, int width, int height, std::vector<uint32_t>&& texels)
    : Texture(renderTarget, width, height), name_(0), dirty_(false), texels_(std::move(texels))
{
    GLuint name = 0;
    glGenTextures(1, &name);
    name_ = name;
    glBindTexture(GL_TEXTURE_2D, name_);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    if (renderTarget_) {
        // The copy is B, G, R, A in memory; a render target receives its
        // picture from the frame buffer later, so level 0 is all it needs.
        glTexImage2D(GL_TEXTURE_2D, 0, 4, textureWidth_, textureHeight_, 0,
                     GL_BGRA_EXT, GL_UNSIGNED_BYTE, texels_.data());
    } else {
        gluBuild2DMipmaps(GL_TEXTURE_2D, 4, textureWidth_, textureHeight_,
                          GL_BGRA_EXT, GL_UNSIGNED_BYTE, texels_.data());
    }
}

GlTexture::~GlTexture()
{
    if (name_ && GlDevice::contextAlive()) {
        GLuint name = name_;
        glDeleteTextures(1, &name);
    }
    // The base destructor takes the texture out of the device's registry.
}

uint32_t* GlTexture::lock()
{
    dirty_ = true;
    return texels_.data();
}

void GlTexture::unlock()
{
    glBindTexture(GL_TEXTURE_2D, name_);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, textureWidth_, textureHeight_,
                    GL_BGRA_EXT, GL_UNSIGNED_BYTE, texels_.data());
    dirty_ = false;
}

GlTexture* createGlTexture(bool renderTarget, const uint32_t* pixels, int width, int height)
{
    if (!GlDevice::contextAlive()) {
        std::fprintf(stderr, "racer_gl: no texture can be made before the window is open\n");
        return nullptr;
    }
    std::vector<uint32_t> texels = buildTextureTexels(pixels, width, height);
    if (texels.empty()) {
        std::fprintf(stderr, "racer_gl: cannot create a texture of %d x %d pixels\n", width, height);
        return nullptr;
    }
    return new GlTexture(renderTarget, width, height, std::move(texels));
}
