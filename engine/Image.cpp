#include "Image.h"

#include "BmpPicture.h"
#include "DataFile.h"
#include "DevilMemory.h"
#include "FileSystem.h"
#include "PictureHeader.h"
#include "TgaPicture.h"

#include <IL/il.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace {

void initDevil()
{
    static bool initialised = false;
    if (!initialised) {
        DevilMemory::install();
        ilInit();
        initialised = true;
    }
}

ILenum devilType(PictureFormat format)
{
    switch (format) {
    case PictureFormat::png: return IL_PNG;
    case PictureFormat::jpeg: return IL_JPG;
    case PictureFormat::bmp:
    case PictureFormat::tga:
    case PictureFormat::unknown: break;
    }
    return IL_TYPE_UNKNOWN;
}

// Gives a colour-indexed picture a palette of all 256 entries, so a pixel
// whose index lies past the file's palette reads black instead of memory
// behind it. False when the palette is not one the library describes.
bool completePalette()
{
    if (ilGetInteger(IL_IMAGE_BPP) != 1 || ilGetInteger(IL_IMAGE_TYPE) != IL_UNSIGNED_BYTE)
        return false;
    const ILubyte* palette = ilGetPalette();
    ILint type = ilGetInteger(IL_PALETTE_TYPE);
    ILint entryBytes = ilGetInteger(IL_PALETTE_BPP);
    ILint colours = ilGetInteger(IL_PALETTE_NUM_COLS);
    // Offsets of red, green and blue in one entry.
    int red = 0, blue = 2;
    switch (type) {
    case IL_PAL_RGB24: case IL_PAL_RGB32: case IL_PAL_RGBA32: break;
    case IL_PAL_BGR24: case IL_PAL_BGR32: case IL_PAL_BGRA32: red = 2; blue = 0; break;
    default: return false;
    }
    if (!palette || entryBytes < 3 || colours < 0)
        return false;
    ILubyte full[256 * 4] = {};
    for (int i = 0; i < colours && i < 256; ++i) {
        const ILubyte* entry = palette + static_cast<size_t>(i) * entryBytes;
        full[i * 4 + 0] = entry[blue];
        full[i * 4 + 1] = entry[1];
        full[i * 4 + 2] = entry[red];
        full[i * 4 + 3] = 255;
    }
    ilRegisterPal(full, sizeof full, IL_PAL_BGRA32);
    return ilGetInteger(IL_PALETTE_NUM_COLS) == 256;
}

// A checked PNG's bytes without its gAMA chunks, or empty when it has
// none. The library's Windows build corrects a PNG's colours for the gamma
// such a chunk gives while its Linux build does not; without it every
// build shows the stored colours, as every other reader of the engine does.
std::vector<unsigned char> pngWithoutGamma(const unsigned char* bytes, size_t size)
{
    std::vector<unsigned char> kept;
    size_t position = 8, copied = 0;
    while (position + 12 <= size) {
        const size_t length = (static_cast<size_t>(bytes[position]) << 24) |
                              (static_cast<size_t>(bytes[position + 1]) << 16) |
                              (static_cast<size_t>(bytes[position + 2]) << 8) | bytes[position + 3];
        if (length > size - position - 12)
            break;
        const unsigned char* type = bytes + position + 4;
        if (std::memcmp(type, "gAMA", 4) == 0) {
            kept.insert(kept.end(), bytes + copied, bytes + position);
            copied = position + 12 + length;
        }
        position += 12 + length;
        if (std::memcmp(type, "IEND", 4) == 0)
            break;
    }
    if (copied == 0)
        return kept;
    kept.insert(kept.end(), bytes + copied, bytes + size);
    return kept;
}

// BMP and TGA through the engine's own readers, which give the same
// pixels whatever the library's version.
template <class Picture>
Image* decodeOwn(const DataFile& file, const PictureHeader& header)
{
    Picture picture(file.data(), static_cast<size_t>(file.size()));
    picture.checkData();
    std::unique_ptr<Image> image;
    if (picture.usable() && picture.width() == header.width() && picture.height() == header.height()) {
        image.reset(new Image(nullptr, header.width(), header.height(), false));
        if (!picture.decode(image->pixels()))
            image.reset();
    }
    if (!image)
        std::fprintf(stderr, "image %s: the %s picture cannot be decoded (damaged file)\n",
                     file.path().c_str(), PictureHeader::formatName(header.format()));
    return image.release();
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
    // The header first: only well-formed files of the formats the engine
    // reads go on, PNG and JPEG to the library with their type given.
    const PictureHeader header =
        PictureHeader::read(file.data(), static_cast<size_t>(file.size()), file.path());
    if (!header.usable()) {
        std::fprintf(stderr, "image %s: %s\n", file.path().c_str(), header.problem().c_str());
        return nullptr;
    }
    if (header.format() == PictureFormat::bmp || header.format() == PictureFormat::tga) {
        Image* image = header.format() == PictureFormat::bmp ? decodeOwn<BmpPicture>(file, header)
                                                             : decodeOwn<TgaPicture>(file, header);
        if (image && opaque)
            image->setAlpha(255, false);
        return image;
    }
    initDevil();
    ILuint name = 0;
    ilGenImages(1, &name);
    ilBindImage(name);

    // The library may hold the pixels in their widest form (16-bit RGBA,
    // 8 bytes a pixel) and a converted copy beside them, nothing more.
    const size_t pixels = static_cast<size_t>(header.width()) * static_cast<size_t>(header.height());
    DevilMemory::open(pixels * 8 + 65536, pixels * 24 + 1024 * 1024);

    Image* image = nullptr;
    const char* format = PictureHeader::formatName(header.format());
    std::vector<unsigned char> withoutGamma;
    if (header.format() == PictureFormat::png)
        withoutGamma = pngWithoutGamma(file.data(), static_cast<size_t>(file.size()));
    const unsigned char* bytes = withoutGamma.empty() ? file.data() : withoutGamma.data();
    const size_t size = withoutGamma.empty() ? static_cast<size_t>(file.size()) : withoutGamma.size();
    if (!ilLoadL(devilType(header.format()), bytes, static_cast<ILuint>(size))) {
        std::fprintf(stderr, "image %s: the %s picture cannot be decoded (damaged file)\n",
                     file.path().c_str(), format);
    } else if (ilGetInteger(IL_IMAGE_WIDTH) != header.width() ||
               ilGetInteger(IL_IMAGE_HEIGHT) != header.height() || ilGetInteger(IL_IMAGE_DEPTH) != 1) {
        std::fprintf(stderr, "image %s: the %s picture decodes to another size than its header says\n",
                     file.path().c_str(), format);
    } else if (ilGetInteger(IL_IMAGE_FORMAT) == IL_COLOUR_INDEX && !completePalette()) {
        std::fprintf(stderr, "image %s: the %s picture has an unusable palette\n", file.path().c_str(),
                     format);
    } else if (!ilConvertImage(IL_BGRA, IL_UNSIGNED_BYTE) || ilGetInteger(IL_IMAGE_BPP) != 4) {
        std::fprintf(stderr, "image %s: cannot be converted to 32-bit pixels\n", file.path().c_str());
    } else if (const ILubyte* data = ilGetData()) {
        image = new Image(reinterpret_cast<const uint32_t*>(data), header.width(), header.height(), true);
        // Every picture comes out top row first, whichever way the reader
        // stored it.
        if (ilGetInteger(IL_IMAGE_ORIGIN) == IL_ORIGIN_LOWER_LEFT)
            image->flipVertical();
        if (opaque)
            image->setAlpha(255, false);
    }
    // Whatever the library still holds for this picture goes: first the
    // image itself, then any block its readers lost on an error path.
    DevilMemory::close();
    ilBindImage(0);
    ilDeleteImages(1, &name);
    DevilMemory::release();
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
        std::fprintf(stderr, "image %s: cannot be read (missing, or refused as said above)\n", path.c_str());
        return nullptr;
    }
    return loadImage(*file, opaque);
}
