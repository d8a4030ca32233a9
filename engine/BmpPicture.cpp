#include "BmpPicture.h"

namespace {

uint32_t littleEndian32(const unsigned char* p)
{
    return (static_cast<uint32_t>(p[3]) << 24) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[1]) << 8) | p[0];
}

unsigned littleEndian16(const unsigned char* p)
{
    return (static_cast<unsigned>(p[1]) << 8) | p[0];
}

const uint32_t opaqueBlack = 0xFF000000u;

uint32_t opaque(unsigned red, unsigned green, unsigned blue)
{
    return opaqueBlack | (red << 16) | (green << 8) | blue;
}

// Place of a mask's lowest set bit.
unsigned maskShift(uint32_t mask)
{
    unsigned shift = 0;
    while (mask != 0 && !(mask & 1u)) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

// True for a mask that is one unbroken run of ones.
bool isOneRun(uint32_t mask)
{
    if (mask == 0)
        return false;
    uint32_t low = mask >> maskShift(mask);
    return (low & (low + 1)) == 0;
}

}

BmpPicture::BmpPicture(const unsigned char* bytes, size_t size) : bytes_(bytes), size_(size)
{
    readHeader();
}

void BmpPicture::readHeader()
{
    const unsigned char* bytes = bytes_;
    const size_t size = size_;
    if (!bytes || size < 18)
        return refuse("the BMP ends inside its header");
    headerSize_ = littleEndian32(bytes + 14);
    if (headerSize_ != 40 && headerSize_ != 108 && headerSize_ != 124)
        return refuse("a BMP with a " + std::to_string(headerSize_) +
                      "-byte header; BMPs with the 40-, 108- or 124-byte Windows header are read");
    if (size < 14 + headerSize_)
        return refuse("the BMP ends inside its header");
    const int32_t width = static_cast<int32_t>(littleEndian32(bytes + 18));
    const int32_t height = static_cast<int32_t>(littleEndian32(bytes + 22));
    const unsigned planes = littleEndian16(bytes + 26);
    bits_ = littleEndian16(bytes + 28);
    compression_ = littleEndian32(bytes + 30);
    if (planes != 1)
        return refuse("a BMP with " + std::to_string(planes) + " planes");
    if (compression_ == 4 || compression_ == 5)
        return refuse("a BMP holding a JPEG or PNG picture");
    if (bits_ != 1 && bits_ != 4 && bits_ != 8 && bits_ != 16 && bits_ != 24 && bits_ != 32)
        return refuse("a BMP of " + std::to_string(bits_) + " bits a pixel");
    const bool runLength = (compression_ == 1 && bits_ == 8) || (compression_ == 2 && bits_ == 4);
    if (compression_ != 0 && !runLength && !(compression_ == 3 && (bits_ == 16 || bits_ == 32)))
        return refuse("a BMP with an unknown compression");
    topDown_ = height < 0;
    if (runLength && topDown_)
        return refuse("a run-length compressed BMP stored top row first");
    width_ = width;
    height_ = topDown_ ? -static_cast<long long>(height) : height;
}

void BmpPicture::refuse(const std::string& why)
{
    if (problem_.empty())
        problem_ = why;
}

void BmpPicture::checkData()
{
    if (!usable() || width_ < 1 || height_ < 1) {
        refuse("declares an empty picture");
        return;
    }
    const size_t headerEnd = 14 + static_cast<size_t>(headerSize_);
    size_t firstPixel = headerEnd;
    if (bits_ <= 8) {
        // The palette follows the headers; the pixels may come later.
        const uint32_t most = 1u << bits_;
        const uint32_t coloursUsed = littleEndian32(bytes_ + 46);
        if (coloursUsed > most)
            return refuse("a BMP whose palette is larger than its pixels can use");
        paletteStart_ = headerEnd;
        paletteEntries_ = coloursUsed != 0 ? coloursUsed : most;
        firstPixel = headerEnd + 4 * static_cast<size_t>(paletteEntries_);
        if (firstPixel > size_)
            return refuse("the BMP ends inside its palette");
    }
    readMasks();
    if (!usable())
        return;
    if (compression_ == 3 && headerSize_ == 40)
        firstPixel = headerEnd + 12;
    const uint32_t dataOffset = littleEndian32(bytes_ + 10);
    if (dataOffset < firstPixel)
        return refuse("a BMP whose pixels overlap its header or palette");
    if (dataOffset > size_)
        return refuse("the BMP ends before its pixels");
    pixelStart_ = dataOffset;
    if (compression_ == 1 || compression_ == 2) {
        const std::string runs = walkRuns(nullptr);
        if (!runs.empty())
            return refuse(runs);
    } else {
        const unsigned long long rowBytes = (static_cast<unsigned long long>(width_) * bits_ + 31) / 32 * 4;
        if (rowBytes * static_cast<unsigned long long>(height_) > size_ - pixelStart_)
            return refuse("the BMP ends before its last row of pixels");
    }
    checked_ = true;
}

void BmpPicture::readMasks()
{
    if (bits_ == 16) {
        masks_[0] = 0x7C00;
        masks_[1] = 0x03E0;
        masks_[2] = 0x001F;
    } else if (bits_ == 32) {
        masks_[0] = 0xFF0000;
        masks_[1] = 0x00FF00;
        masks_[2] = 0x0000FF;
    }
    if (compression_ != 3)
        return;
    // In the 40-byte header's file the three masks follow it; the longer
    // headers hold them (and an alpha mask, not read).
    const size_t at = 14 + 40;
    if (at + 12 > size_)
        return refuse("the BMP ends inside its colour masks");
    uint32_t all = 0;
    for (int i = 0; i < 3; ++i) {
        const uint32_t mask = littleEndian32(bytes_ + at + 4 * i);
        if (!isOneRun(mask) || (all & mask) || (bits_ == 16 && mask > 0xFFFF))
            return refuse("a BMP with unusable colour masks (each of red, green and blue must be "
                          "one run of bits of its own)");
        all |= mask;
        masks_[i] = mask;
    }
}

uint32_t BmpPicture::paletteColour(unsigned index) const
{
    if (index >= paletteEntries_)
        return opaqueBlack;   // past the file's palette
    const unsigned char* entry = bytes_ + paletteStart_ + 4 * static_cast<size_t>(index);
    return opaque(entry[2], entry[1], entry[0]);
}

uint32_t BmpPicture::maskedColour(uint32_t value) const
{
    unsigned channels[3];
    for (int i = 0; i < 3; ++i) {
        const unsigned shift = maskShift(masks_[i]);
        const uint32_t most = masks_[i] >> shift;
        const uint64_t level = (value & masks_[i]) >> shift;
        channels[i] = static_cast<unsigned>(level * 255 / most);
    }
    return opaque(channels[0], channels[1], channels[2]);
}

bool BmpPicture::decode(uint32_t* pixels) const
{
    if (!checked_ || !usable() || !pixels)
        return false;
    const size_t width = static_cast<size_t>(width_);
    const size_t height = static_cast<size_t>(height_);
    if (compression_ == 1 || compression_ == 2)
        return walkRuns(pixels).empty();

    const size_t rowBytes = (width * bits_ + 31) / 32 * 4;
    // Masked layouts, with each channel's place worked out once.
    unsigned shifts[3] = {0, 0, 0};
    uint32_t mosts[3] = {1, 1, 1};
    bool plain32 = bits_ == 32;
    if (bits_ == 16 || bits_ == 32) {
        for (int i = 0; i < 3; ++i) {
            shifts[i] = maskShift(masks_[i]);
            mosts[i] = masks_[i] >> shifts[i];
            plain32 = plain32 && mosts[i] == 0xFF;
        }
    }
    for (size_t row = 0; row < height; ++row) {
        const unsigned char* in = bytes_ + pixelStart_ + row * rowBytes;
        uint32_t* out = pixels + (topDown_ ? row : height - 1 - row) * width;
        switch (bits_) {
        case 1:
        case 4:
        case 8: {
            const unsigned perByte = 8 / bits_, valueMask = (1u << bits_) - 1;
            for (size_t x = 0; x < width; ++x) {
                const unsigned shift = 8 - bits_ * (1 + static_cast<unsigned>(x % perByte));
                out[x] = paletteColour((in[x / perByte] >> shift) & valueMask);
            }
            break;
        }
        case 16:
            for (size_t x = 0; x < width; ++x) {
                const uint32_t value = littleEndian16(in + 2 * x);
                unsigned channels[3];
                for (int i = 0; i < 3; ++i)
                    channels[i] = static_cast<unsigned>(((value & masks_[i]) >> shifts[i]) * 255u / mosts[i]);
                out[x] = opaque(channels[0], channels[1], channels[2]);
            }
            break;
        case 24:
            for (size_t x = 0; x < width; ++x)
                out[x] = opaque(in[3 * x + 2], in[3 * x + 1], in[3 * x]);
            break;
        case 32:
            for (size_t x = 0; x < width; ++x) {
                const uint32_t value = littleEndian32(in + 4 * x);
                if (plain32)
                    out[x] = opaque((value & masks_[0]) >> shifts[0], (value & masks_[1]) >> shifts[1],
                                    (value & masks_[2]) >> shifts[2]);
                else
                    out[x] = maskedColour(value);
            }
            break;
        }
    }
    return true;
}

std::string BmpPicture::walkRuns(uint32_t* pixels) const
{
    // Runs of one index (two alternating ones at 4 bits), absolute runs of
    // indexes (padded to 16 bits), line ends, moves and the end-of-bitmap
    // code, bottom row first. Runs may also cover the padding of a row
    // (some writers fill whole 32-bit rows); only pixels inside the picture
    // are written, and pixels no run reaches keep the palette's first
    // colour.
    const unsigned long long width = static_cast<unsigned long long>(width_);
    const unsigned long long height = static_cast<unsigned long long>(height_);
    const unsigned long long rowPixels = (width * bits_ + 31) / 32 * 32 / bits_;
    const unsigned char* bytes = bytes_ + pixelStart_;
    const size_t size = size_ - pixelStart_;
    if (pixels) {
        const uint32_t background = paletteColour(0);
        for (unsigned long long i = 0, n = width * height; i < n; ++i)
            pixels[i] = background;
    }
    auto put = [&](unsigned long long x, unsigned long long y, unsigned index) {
        if (pixels && x < width)
            pixels[(height - 1 - y) * width + x] = paletteColour(index);
    };
    unsigned long long x = 0, y = 0;
    size_t position = 0;
    for (;;) {
        if (size - position < 2)
            return "the BMP ends before its end-of-bitmap code";
        const unsigned count = bytes[position], code = bytes[position + 1];
        position += 2;
        if (count > 0) {
            if (y >= height || x + count > rowPixels)
                return "a BMP run past the end of its row";
            for (unsigned i = 0; i < count; ++i)
                put(x + i, y, bits_ == 8 ? code : (i % 2 == 0 ? code >> 4 : code & 15));
            x += count;
        } else if (code > 2) {
            if (y >= height || x + code > rowPixels)
                return "a BMP run past the end of its row";
            size_t length = bits_ == 8 ? code : (code + 1) / 2;
            length += length & 1;
            if (length > size - position)
                return "the BMP ends inside a run";
            const unsigned char* run = bytes + position;
            for (unsigned i = 0; i < code; ++i)
                put(x + i, y, bits_ == 8 ? run[i] : (i % 2 == 0 ? run[i / 2] >> 4 : run[i / 2] & 15));
            x += code;
            position += length;
        } else if (code == 0) {
            x = 0;
            if (++y > height)
                return "a BMP with more rows of runs than its height";
        } else if (code == 1) {
            return std::string();
        } else {
            if (size - position < 2)
                return "the BMP ends inside a move";
            x += bytes[position];
            y += bytes[position + 1];
            position += 2;
            if (x > rowPixels || y >= height)
                return "a BMP move past the picture";
        }
    }
}
