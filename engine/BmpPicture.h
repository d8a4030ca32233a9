#ifndef QUORIN_BMPPICTURE_H
#define QUORIN_BMPPICTURE_H

#include <cstddef>
#include <cstdint>
#include <string>

// A Windows BMP file, read by the engine itself: the file header, the
// 40-byte bitmap header or its 108- and 124-byte successors (whose colour
// space fields are ignored), 1, 4 and 8 bits a pixel through the palette,
// 16 and 32 bits with the standard layouts or colour masks, 24 bits, raw
// or run-length (8 and 4 bits), bottom row first or, raw, top row first.
// The pixels are where the file header's pixel offset says. Alpha is not
// read: every pixel comes out opaque.
//
// Reading happens in two steps, so the caller can check the declared size
// against its limits before any pixel is looked at: the constructor reads
// the headers, checkData() makes sure the palette, the colour masks and
// every row or run lie inside the file. decode() then cannot read outside
// the bytes or write outside the picture whatever they hold.
class BmpPicture {
public:
    // The bytes stay the caller's and must outlive the object.
    BmpPicture(const unsigned char* bytes, size_t size);

    bool usable() const { return problem_.empty(); }
    // Why the file is refused, empty while it is usable.
    const std::string& problem() const { return problem_; }
    int width() const { return width_; }
    // Rows, whichever way they are stored (a top-down file declares a
    // negative height).
    long long height() const { return height_; }

    // Checks everything past the headers; call once the size is accepted.
    void checkData();
    // Writes width x height pixels 0xFFRRGGBB, top row first. False (and
    // nothing written) unless checkData() found the file sound.
    bool decode(uint32_t* pixels) const;

private:
    void readHeader();
    void refuse(const std::string& why);
    void readMasks();
    // Walks the run-length stream; with pixels, also writes what it says.
    // Empty, or why the stream is refused.
    std::string walkRuns(uint32_t* pixels) const;
    uint32_t paletteColour(unsigned index) const;
    uint32_t maskedColour(uint32_t value) const;

    const unsigned char* bytes_;
    size_t size_;
    std::string problem_;
    bool checked_ = false;
    uint32_t headerSize_ = 0;
    int width_ = 0;
    long long height_ = 0;
    bool topDown_ = false;
    unsigned bits_ = 0;
    uint32_t compression_ = 0;
    size_t paletteStart_ = 0;
    unsigned paletteEntries_ = 0;
    size_t pixelStart_ = 0;
    uint32_t masks_[3] = {0, 0, 0};   // red, green, blue
};

#endif
