#include "Image.h"

#include "DataFile.h"
#include "FileSystem.h"

#include <IL/il.h>

#include <cstdint>
#include <cstdio>
#include <memory>

namespace {

// Largest side a decoded picture may have.
const int maxImageSide = 16384;

bool sizeIsUsable(int width, int height)
{
    return width > 0 && height > 0 && width <= maxImageSide && height <= maxImageSide;
}

void initDevil()
{
    static bool initialised = false;
    if (!initialised) {
        ilInit();
        initialised = true;
    }
}

}

Image::Image(const uint32_t* pixels, int width, int height, bool opaque)
    : width_(0), height_(0)
{
    if (width <= 0 || height <= 0)
        return;
    width_ = width;
    height_ = height;
    size_t n = static_cast<size_t>(width) * static_cast<size_t>(height);
    if (pixels)
        pixels_.assign(pixels, pixels + n);
    else
        pixels_.assign(n, 0u);
    if (opaque)
        for (uint32_t& p : pixels_)
            p |= 0xFF000000u;
}

Image::~Image()
{
}

void Image::flipVertical()
{
    for (int i = 0; i < height_ / 2; ++i) {
        uint32_t* a = pixels_.data() + static_cast<size_t>(i) * width_;
        uint32_t* b = pixels_.data() + static_cast<size_t>(height_ - 1 - i) * width_;
        for (int x = 0; x < width_; ++x) {
            uint32_t t = a[x];
            a[x] = b[x];
            b[x] = t;
        }
    }
}

void Image::resize(int newWidth, int newHeight)
{
    if (newWidth <= 0 || newHeight <= 0) {
        width_ = 0;
        height_ = 0;
        pixels_.clear();
        pixels_.shrink_to_fit();
        return;
    }
    std::vector<uint32_t> resized(static_cast<size_t>(newWidth) * newHeight, 0u);
    if (width_ > 0 && height_ > 0) {
        int64_t stepX = static_cast<int64_t>(static_cast<double>(width_) * 256.0 / newWidth);
        int64_t stepY = static_cast<int64_t>(static_cast<double>(height_) * 256.0 / newHeight);
        for (int r = 0; r < newHeight; ++r) {
            int64_t sourceRow = (r * stepY) >> 8;
            if (sourceRow >= height_)
                sourceRow = height_ - 1;
            const uint32_t* source = pixels_.data() + sourceRow * width_;
            uint32_t* destination = resized.data() + static_cast<size_t>(r) * newWidth;
            for (int c = 0; c < newWidth; ++c) {
                int64_t sourceColumn = (c * stepX) >> 8;
                if (sourceColumn >= width_)
                    sourceColumn = width_ - 1;
                destination[c] = source[sourceColumn];
            }
        }
    }
    pixels_.swap(resized);
    width_ = newWidth;
    height_ = newHeight;
}

void Image::setAlpha(uint8_t alpha, bool blackKey)
{
    uint32_t a = static_cast<uint32_t>(alpha) << 24;
    for (uint32_t& p : pixels_) {
        uint32_t rgb = p & 0x00FFFFFFu;
        p = (blackKey && rgb == 0) ? 0u : (rgb | a);
    }
}

Image* createImage(const uint32_t* pixels, int width, int height, bool opaque)
{
    return new Image(pixels, width, height, opaque);
}

ImageDecoder::~ImageDecoder()
{
}

Image* ImageDecoder::decode(const DataFile& file, bool opaque)
{
    if (file.size() <= 0) {
        std::fprintf(stderr, "image %s: the file is empty\n", file.path().c_str());
        return nullptr;
    }
    initDevil();
    ILuint name = 0;
    ilGenImages(1, &name);
    ilBindImage(name);

    Image* image = nullptr;
    if (!ilLoadL(IL_TYPE_UNKNOWN, file.data(), static_cast<ILuint>(file.size()))) {
        std::fprintf(stderr, "image %s: not a picture the image library can decode\n",
                     file.path().c_str());
    } else if (!ilConvertImage(IL_BGRA, IL_UNSIGNED_BYTE)) {
        std::fprintf(stderr, "image %s: cannot be converted to 32-bit pixels\n",
                     file.path().c_str());
    } else {
        int width = ilGetInteger(IL_IMAGE_WIDTH);
        int height = ilGetInteger(IL_IMAGE_HEIGHT);
        const ILubyte* data = ilGetData();
        if (!data || !sizeIsUsable(width, height)) {
            std::fprintf(stderr, "image %s: unusable size %d x %d\n", file.path().c_str(),
                         width, height);
        } else {
            image = new Image(reinterpret_cast<const uint32_t*>(data), width, height, true);
            if (opaque)
                image->setAlpha(255, false);
        }
    }
    ilBindImage(0);
    ilDeleteImages(1, &name);
    // Leave no error behind for the next decoding.
    while (ilGetError() != IL_NO_ERROR) {
    }
    return image;
}

Image* loadImage(const DataFile& file, bool opaque)
{
    std::unique_ptr<ImageDecoder> decoder(new ImageDecoder);
    return decoder->decode(file, opaque);
}

Image* loadImageFile(const std::string& path, bool opaque)
{
    std::unique_ptr<DataFile> file(openFile(path));
    if (!file) {
        std::fprintf(stderr, "image %s: no such file\n", path.c_str());
        return nullptr;
    }
    return loadImage(*file, opaque);
}
