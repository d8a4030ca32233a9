#include "TgaPicture.h"

#include <cstring>

namespace {

unsigned littleEndian16(const unsigned char* p)
{
    return (static_cast<unsigned>(p[1]) << 8) | p[0];
}

unsigned long littleEndian32(const unsigned char* p)
{
    return littleEndian16(p) | static_cast<unsigned long>(littleEndian16(p + 2)) << 16;
}

const uint32_t opaqueBlack = 0xFF000000u;

uint32_t opaque(unsigned red, unsigned green, unsigned blue)
{
    return opaqueBlack | (red << 16) | (green << 8) | blue;
}

// 5 bits each of red, green and blue, the top bit (attribute) not read.
uint32_t fiveBitColour(const unsigned char* p)
{
    const unsigned value = littleEndian16(p);
    return opaque(((value >> 10) & 31) * 255 / 31, ((value >> 5) & 31) * 255 / 31, (value & 31) * 255 / 31);
}

}

TgaPicture::TgaPicture(const unsigned char* bytes, size_t size) : bytes_(bytes), size_(size)
{
    readHeader();
}

void TgaPicture::readHeader()
{
    const unsigned char* bytes = bytes_;
    const size_t size = size_;
    if (!bytes || size < 18)
        return refuse("the TGA ends inside its header");
    const unsigned mapType = bytes[1];
    imageType_ = bytes[2];
    mapFirst_ = littleEndian16(bytes + 3);
    mapLength_ = littleEndian16(bytes + 5);
    mapEntryBits_ = bytes[7];
    width_ = static_cast<int>(littleEndian16(bytes + 12));
    height_ = static_cast<int>(littleEndian16(bytes + 14));
    depth_ = bytes[16];
    const unsigned descriptor = bytes[17];
    const bool indexed = imageType_ == 1 || imageType_ == 9;
    const bool trueColour = imageType_ == 2 || imageType_ == 10;
    const bool grey = imageType_ == 3 || imageType_ == 11;
    if (!indexed && !trueColour && !grey)
        return refuse("a TGA of unknown image type " + std::to_string(imageType_));
    // A colour map may come with any image type (TGA 2.0): a colour-mapped
    // picture's pixels index it, the others' pixels do not, and it is
    // skipped. Either way it lies between the image ID and the pixels.
    if (mapType > 1)
        return refuse("a TGA of colour map type " + std::to_string(mapType) +
                      "; 0 (none) and 1 (a colour map) are read");
    hasMap_ = mapType == 1;
    if (hasMap_ && mapLength_ > 0) {
        const bool readable = mapEntryBits_ == 16 || mapEntryBits_ == 24 || mapEntryBits_ == 32;
        // 15-bit entries (two bytes each) are allowed in a map that is only
        // skipped; a map whose colours are read holds 16, 24 or 32 bits. A
        // map of no entries takes no room, whatever their size.
        if (!readable && (indexed || mapEntryBits_ != 15))
            return refuse("a TGA colour map of " + std::to_string(mapEntryBits_) + "-bit entries");
    }
    if (indexed) {
        if (!hasMap_)
            return refuse("a colour-mapped TGA without a colour map");
        if (mapLength_ == 0)
            return refuse("a colour-mapped TGA whose colour map has no entries");
        if (depth_ != 8 && depth_ != 16)
            return refuse("a colour-mapped TGA of " + std::to_string(depth_) +
                          "-bit indexes; 8- and 16-bit indexes are read");
    } else if (trueColour) {
        if (depth_ != 15 && depth_ != 16 && depth_ != 24 && depth_ != 32)
            return refuse("a true-colour TGA of " + std::to_string(depth_) + " bits a pixel");
    } else if (depth_ != 8 && depth_ != 16) {
        return refuse("a grey TGA of " + std::to_string(depth_) +
                      " bits a pixel; 8 (grey) and 16 (grey and alpha) are read");
    }
    if (descriptor & 0xC0)
        return refuse("an interleaved TGA");
    rightToLeft_ = (descriptor & 0x10) != 0;
    topFirst_ = (descriptor & 0x20) != 0;
}

void TgaPicture::refuse(const std::string& why)
{
    if (problem_.empty())
        problem_ = why;
}

void TgaPicture::checkData()
{
    if (!usable() || width_ < 1 || height_ < 1) {
        refuse("declares an empty picture");
        return;
    }
    const unsigned long long pixelBytes = (depth_ + 7) / 8;
    const unsigned long long mapBytes =
        hasMap_ ? static_cast<unsigned long long>(mapLength_) * ((mapEntryBits_ + 7) / 8) : 0;
    mapStart_ = 18 + static_cast<size_t>(bytes_[0]);
    if (mapStart_ > size_)
        return refuse("the TGA ends inside its image ID");
    if (mapStart_ + mapBytes > size_)
        return refuse("the TGA ends inside its colour map");
    pixelStart_ = mapStart_ + static_cast<size_t>(mapBytes);
    const size_t size = pixelEnd();
    const bool indexed = imageType_ == 1 || imageType_ == 9;
    // Every index a pixel holds must name an entry of the colour map.
    auto outsideMap = [&](size_t at, unsigned long long count) {
        for (unsigned long long i = 0; indexed && i < count; ++i, at += pixelBytes) {
            const unsigned index = depth_ == 16 ? littleEndian16(bytes_ + at) : bytes_[at];
            if (index < mapFirst_ || index - mapFirst_ >= mapLength_) {
                refuse("a TGA pixel of colour index " + std::to_string(index) +
                       ", outside its colour map of entries " + std::to_string(mapFirst_) + " to " +
                       std::to_string(mapFirst_ + mapLength_ - 1));
                return true;
            }
        }
        return false;
    };
    const unsigned long long pixels = static_cast<unsigned long long>(width_) * static_cast<unsigned long long>(height_);
    if (imageType_ < 9) {
        if (pixels * pixelBytes > size - pixelStart_)
            return refuse("the TGA ends before its last pixel");
        if (outsideMap(pixelStart_, pixels))
            return;
    } else {
        // Run-length packets: a count byte, then one pixel repeated or that
        // many raw pixels. They must cover every pixel inside the file.
        unsigned long long covered = 0;
        size_t position = pixelStart_;
        while (covered < pixels) {
            if (position >= size)
                return refuse("the TGA ends before its last pixel");
            const unsigned packet = bytes_[position++];
            const bool repeated = (packet & 0x80) != 0;
            const unsigned long long count = (packet & 0x7F) + 1;
            const unsigned long long length = repeated ? pixelBytes : count * pixelBytes;
            if (length > size - position)
                return refuse("the TGA ends before its last pixel");
            // Raw pixels past the picture's last are never read.
            const unsigned long long used = count < pixels - covered ? count : pixels - covered;
            if (outsideMap(position, repeated ? 1 : used))
                return;
            position += static_cast<size_t>(length);
            covered += count;
        }
    }
    checked_ = true;
}

size_t TgaPicture::pixelEnd() const
{
    // A TGA 2.0 file ends in a footer that gives the offsets of its
    // extension and developer areas (0 for none); they follow the pixels.
    static const char signature[18] = {'T', 'R', 'U', 'E', 'V', 'I', 'S', 'I', 'O',
                                       'N', '-', 'X', 'F', 'I', 'L', 'E', '.', '\0'};
    const size_t footerLength = 26;
    if (size_ < 18 + footerLength || std::memcmp(bytes_ + size_ - 18, signature, 18) != 0)
        return size_;
    // Only the areas bound the pixels: files whose last pixels overlap a
    // footer that names none are read as they always were.
    const size_t footer = size_ - footerLength;
    size_t end = size_;
    for (const unsigned char* offset : {bytes_ + footer, bytes_ + footer + 4}) {
        const unsigned long area = littleEndian32(offset);
        // An offset into the header, image ID or colour map, or into or past
        // the footer, names no area the file can hold: it is not followed.
        if (area >= pixelStart_ && area < footer && area < end)
            end = area;
    }
    return end;
}

uint32_t TgaPicture::mapColour(unsigned index) const
{
    if (index < mapFirst_ || index - mapFirst_ >= mapLength_)
        return opaqueBlack;   // refused by checkData(); never read outside the map
    const size_t entryBytes = mapEntryBits_ / 8;
    const unsigned char* entry = bytes_ + mapStart_ + (index - mapFirst_) * entryBytes;
    if (entryBytes == 2)
        return fiveBitColour(entry);
    return opaque(entry[2], entry[1], entry[0]);
}

uint32_t TgaPicture::colour(const unsigned char* pixel) const
{
    switch (imageType_ & 7) {
    case 1:
        return mapColour(depth_ == 16 ? littleEndian16(pixel) : pixel[0]);
    case 3:
        return opaque(pixel[0], pixel[0], pixel[0]);   // a second byte is alpha
    default:
        if (depth_ <= 16)
            return fiveBitColour(pixel);
        return opaque(pixel[2], pixel[1], pixel[0]);
    }
}

bool TgaPicture::decode(uint32_t* pixels) const
{
    if (!checked_ || !usable() || !pixels)
        return false;
    const size_t width = static_cast<size_t>(width_), height = static_cast<size_t>(height_);
    const size_t count = width * height;
    const size_t pixelBytes = (depth_ + 7) / 8;
    // The n-th pixel of the file, whichever corner it starts from.
    auto put = [&](size_t n, uint32_t value) {
        size_t row = n / width, column = n % width;
        if (!topFirst_)
            row = height - 1 - row;
        if (rightToLeft_)
            column = width - 1 - column;
        pixels[row * width + column] = value;
    };
    const unsigned char* in = bytes_ + pixelStart_;
    if (imageType_ < 9) {
        for (size_t n = 0; n < count; ++n, in += pixelBytes)
            put(n, colour(in));
        return true;
    }
    for (size_t n = 0; n < count;) {
        const unsigned packet = *in++;
        const size_t run = (packet & 0x7F) + 1;
        if (packet & 0x80) {
            const uint32_t value = colour(in);
            in += pixelBytes;
            for (size_t i = 0; i < run && n < count; ++i)
                put(n++, value);
        } else {
            for (size_t i = 0; i < run; ++i, in += pixelBytes)
                if (n < count)
                    put(n++, colour(in));
        }
    }
    return true;
}
