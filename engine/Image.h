#ifndef QUORIN_IMAGE_H
#define QUORIN_IMAGE_H

#include <cstdint>
#include <string>
#include <vector>

class DataFile;

// A picture of 0xAARRGGBB pixels, row after row.
class Image {
public:
    // Copies width x height pixels (all zero when pixels is null); with
    // opaque every alpha becomes 255. A side that is not positive gives an
    // empty 0 x 0 image.
    Image(const uint32_t* pixels, int width, int height, bool opaque);
    virtual ~Image();

    int width() const { return width_; }
    int height() const { return height_; }
    uint32_t* pixels() { return pixels_.data(); }
    const uint32_t* pixels() const { return pixels_.data(); }

    void flipVertical();
    // Nearest-neighbour resampling with 8.8 fixed-point steps. A side that
    // is not positive leaves an empty 0 x 0 image.
    void resize(int newWidth, int newHeight);
    void setAlpha(uint8_t alpha, bool blackKey);

private:
    int width_;
    int height_;
    std::vector<uint32_t> pixels_;
};

Image* createImage(const uint32_t* pixels, int width, int height, bool opaque);

// Decodes PNG, JPEG, BMP and TGA files, every one top row first: BMP and
// TGA with the engine's own readers (BmpPicture, TgaPicture), PNG and JPEG
// through DevIL. The file's header is read and checked first
// (PictureHeader): other formats, damaged files and sizes past the limits
// are refused, and the library is told the format. Its memory for one
// decoding is bounded by the declared size and released whatever happens
// (DevilMemory).
class ImageDecoder {
public:
    virtual ~ImageDecoder();
    // A new, fully opaque image, or null (with a message on stderr naming the
    // file and the reason) when the bytes are not a picture the engine reads.
    virtual Image* decode(const DataFile& file, bool opaque);
};

Image* loadImage(const DataFile& file, bool opaque);
// Null, with a message on stderr, when the file is missing or undecodable.
Image* loadImageFile(const std::string& path, bool opaque);

#endif
