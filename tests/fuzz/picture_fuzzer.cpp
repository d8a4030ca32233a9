// Picture files through the engine's decoder: its own BMP and TGA readers,
// the image library for PNG and JPEG. The input is named "fuzz.tga", so
// bytes without a signature are read as TGAs too. After every decoding the
// library holds no more than before (nothing lost inside it), a decoded
// picture has the size it declared, inside the limits, and goes through the
// texture path's flip and resize.
#include "DataFile.h"
#include "DevilMemory.h"
#include "FuzzSupport.h"
#include "Image.h"
#include "PictureHeader.h"

#include <zlib.h>

#include <cstring>
#include <memory>

extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t maxSize);

namespace {

uint32_t bigEndian32(const uint8_t* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

// Mutations of a PNG mostly break a chunk's CRC-32, which the header check
// refuses at once; mending the CRCs lets them reach the library.
void mendPngChunks(uint8_t* data, size_t size)
{
    static const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (size < 8 || std::memcmp(data, signature, 8) != 0)
        return;
    size_t position = 8;
    while (position + 12 <= size) {
        uint32_t length = bigEndian32(data + position);
        if (length > size - position - 12)
            return;
        uLong crc = crc32(0L, data + position + 4, 4 + length);
        uint8_t* out = data + position + 8 + length;
        out[0] = uint8_t(crc >> 24);
        out[1] = uint8_t(crc >> 16);
        out[2] = uint8_t(crc >> 8);
        out[3] = uint8_t(crc);
        position += 12 + length;
    }
}

}

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t maxSize, unsigned int seed)
{
    size = LLVMFuzzerMutate(data, size, maxSize);
    if (seed % 4 != 0)
        mendPngChunks(data, size);
    return size;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const size_t heldBefore = [] {
        // One decoding by the library first, so its own start-up blocks are
        // in: a 1 x 1 grey PNG.
        static const uint8_t png[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n',
                                      0, 0, 0, 13, 'I', 'H', 'D', 'R', 0, 0, 0, 1, 0, 0, 0, 1, 8, 0, 0, 0, 0,
                                      0x3A, 0x7E, 0x9B, 0x55,
                                      0, 0, 0, 10, 'I', 'D', 'A', 'T', 0x78, 0x9C, 0x63, 0x60, 0, 0, 0, 2, 0, 1,
                                      0x48, 0xAF, 0xA4, 0x71,
                                      0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
        DataFile warmUp("warm-up.png", png, sizeof png);
        std::unique_ptr<Image> image(loadImage(warmUp, true));
        fuzzCheck(image != nullptr);
        return DevilMemory::heldBytes();
    }();

    DataFile file("fuzz.tga", data, static_cast<int>(size));
    std::unique_ptr<Image> image(loadImage(file, true));
    fuzzCheck(DevilMemory::heldBytes() == heldBefore);
    if (image) {
        fuzzCheck(image->width() >= 1 && image->width() <= PictureHeader::maxSide);
        fuzzCheck(image->height() >= 1 && image->height() <= PictureHeader::maxSide);
        fuzzCheck(static_cast<long long>(image->width()) * image->height() <= PictureHeader::maxPixels);
        uint32_t all = 0xFFFFFFFFu;
        const uint32_t* pixels = image->pixels();
        for (long long i = 0, n = static_cast<long long>(image->width()) * image->height(); i < n; ++i)
            all &= pixels[i];
        fuzzCheck((all & 0xFF000000u) == 0xFF000000u);   // every pixel opaque
        image->flipVertical();
        int w = 1, h = 1;
        while (w < image->width())
            w *= 2;
        while (h < image->height())
            h *= 2;
        image->resize(w, h);
    }
    return 0;
}
