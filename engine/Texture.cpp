#include "Texture.h"

#include "Device.h"
#include "Image.h"
#include "Matrix4.h"
#include "RenderState.h"
#include "Vertex.h"

#include <cstdio>
#include <cstdint>
#include <memory>

Texture::Texture(bool renderTarget, int width, int height)
    : width_(width),
      height_(height),
      textureWidth_(nextPowerOfTwo(width)),
      textureHeight_(nextPowerOfTwo(height)),
      renderTarget_(renderTarget)
{
}

Texture::~Texture()
{
    if (Device* device = Device::instance())
        device->forgetTexture(this);
}

bool Texture::isRenderTarget() { return renderTarget_; }
int Texture::width() { return width_; }
int Texture::height() { return height_; }
int Texture::textureWidth() { return textureWidth_; }
int Texture::textureHeight() { return textureHeight_; }

void Texture::draw(int x0, int y0, int x1, int y1,
                   float uLeft, float vBottom, float uRight, float vTop)
{
    Device* device = Device::instance();
    if (!device)
        return;

    int oldStage = device->textureStage();
    device->setTextureStage(0);
    int oldMode = device->matrixMode();
    device->pushRenderStates();

    Matrix4 projection;
    projection.setPerspective(0.00001f, 900000.0f, 90.0f, 1.0f);
    device->setMatrixMode(0);
    device->pushMatrix();
    device->loadMatrix(projection);
    device->setMatrixMode(1);
    device->pushMatrix();

    device->setRenderState(RenderStateType::cullMode, RenderStateValue::cullNone);
    device->setRenderState(RenderStateType::depthTest, RenderStateValue::depthOff);

    float w = static_cast<float>(device->width());
    float h = static_cast<float>(device->height());
    float X0 = 2.0f * x0 / w - 1.0f;
    float Y0 = 1.0f - 2.0f * y0 / h;
    float X1 = 2.0f * x1 / w - 1.0f;
    float Y1 = 1.0f - 2.0f * y1 / h;

    device->loadIdentity();
    device->translate(0.0f, 0.0f, -1.0f);

    device->setTextureStage(0);
    device->setRenderState(RenderStateType::textureMode, RenderStateValue::textureWrap);
    device->setTexture(this);

    auto corner = [](float x, float y, float u, float v) {
        Vertex vertex = {};
        vertex.x = x;
        vertex.y = y;
        vertex.color = 0xFFFFFFFFu;
        vertex.u1 = vertex.u2 = u;
        vertex.v1 = vertex.v2 = v;
        return vertex;
    };
    const Vertex first[3] = {corner(X1, Y1, uRight, vBottom), corner(X0, Y1, uLeft, vBottom),
                             corner(X1, Y0, uRight, vTop)};
    device->drawTriangle(first);
    const Vertex second[3] = {corner(X0, Y0, uLeft, vTop), corner(X0, Y1, uLeft, vBottom),
                              corner(X1, Y0, uRight, vTop)};
    device->drawTriangle(second);

    device->popMatrix();
    device->setMatrixMode(0);
    device->popMatrix();
    device->popRenderStates();
    device->setMatrixMode(oldMode);
    device->setTextureStage(oldStage);
}

void Texture::drawAt(int x, int y)
{
    draw(x, y, x + width_, y + height_, 0.0f, 0.0f, 1.0f, 1.0f);
}

void Texture::setAlpha(uint8_t alpha, bool blackKey)
{
    uint32_t* texels = lock();
    if (texels) {
        long n = static_cast<long>(textureWidth_) * textureHeight_;
        uint32_t a = static_cast<uint32_t>(alpha) << 24;
        for (long i = 0; i < n; ++i) {
            uint32_t rgb = texels[i] & 0x00FFFFFFu;
            texels[i] = (blackKey && rgb == 0) ? 0u : (rgb | a);
        }
    }
    unlock();
}

int nextPowerOfTwo(int n)
{
    if (n <= 0)
        return 0;
    if ((n & (n - 1)) == 0)
        return n;
    if (n > (1 << 30))
        return 1 << 30;   // no larger power fits an int
    int high = 1;
    while ((high << 1) <= n)
        high <<= 1;
    return high << 1;
}

std::vector<uint32_t> buildTextureTexels(const uint32_t* pixels, int width, int height)
{
    if (width <= 0 || height <= 0)
        return std::vector<uint32_t>();
    if (width > maxTextureSide || height > maxTextureSide) {
        std::fprintf(stderr, "texture of %d x %d pixels is too large (at most %d a side)\n",
                     width, height, maxTextureSide);
        return std::vector<uint32_t>();
    }
    int textureWidth = nextPowerOfTwo(width);
    int textureHeight = nextPowerOfTwo(height);
    if (!pixels)
        return std::vector<uint32_t>(static_cast<size_t>(textureWidth) * textureHeight, 0u);

    // The result of createImage (opaque), Image::flipVertical and
    // Image::resize to the power-of-two size, made in one pass so a large
    // picture costs one allocation.
    std::vector<uint32_t> texels(static_cast<size_t>(textureWidth) * textureHeight);
    int64_t stepX = static_cast<int64_t>(static_cast<double>(width) * 256.0 / textureWidth);
    int64_t stepY = static_cast<int64_t>(static_cast<double>(height) * 256.0 / textureHeight);
    for (int r = 0; r < textureHeight; ++r) {
        int64_t flippedRow = (r * stepY) >> 8;
        const uint32_t* source = pixels + (height - 1 - flippedRow) * static_cast<int64_t>(width);
        uint32_t* destination = texels.data() + static_cast<size_t>(r) * textureWidth;
        for (int c = 0; c < textureWidth; ++c)
            destination[c] = source[(c * stepX) >> 8] | 0xFF000000u;
    }
    return texels;
}

Texture* createTexture(bool renderTarget, const uint32_t* pixels, int width, int height)
{
    Device* device = Device::instance();
    return device ? device->createTexture(renderTarget, pixels, width, height) : nullptr;
}

Texture* createBlankTexture(bool renderTarget, int width, int height)
{
    return createTexture(renderTarget, nullptr, width, height);
}

Texture* loadTexture(bool renderTarget, const std::string& path, bool opaque)
{
    std::unique_ptr<Image> image(loadImageFile(path, opaque));
    if (!image)
        return nullptr;
    return createTexture(renderTarget, image->pixels(), image->width(), image->height());
}
