#ifndef QUORIN_PICTUREHEADER_H
#define QUORIN_PICTUREHEADER_H

#include <cstddef>
#include <string>

// The picture formats the engine hands to the image library.
enum class PictureFormat { unknown, png, jpeg, bmp, tga };

// What a picture file says about itself before any of it is decoded: its
// format (from the signature; TGA, which has none, from its footer or a
// ".tga" name), its declared size, and whether the file is sound enough to
// be decoded. PNG and JPEG files are decoded by the image library, and only
// files that pass are given to it, so a hostile header can neither make it
// allocate beyond the declared size nor walk it into the paths of its
// readers that fail on damaged data:
// - PNG: every chunk inside the file with a correct CRC-32, the image data
//   a complete zlib stream holding every row with a valid filter byte;
// - JPEG: 8-bit baseline, extended or progressive, one or three components,
//   every marker segment inside the file up to the end marker, entropy-coded
//   data included, at most maxJpegScans scans.
// BMP and TGA files are read by the engine's own code (BmpPicture,
// TgaPicture), whose checks this runs: what those read, inside the file.
// Sides above maxSide, or more than maxPixels in all, are refused.
class PictureHeader {
public:
    static const int maxSide = 16384;
    // A 128 MiB picture at 4 bytes a pixel: 8192 x 4096, or a 6000 x 4000
    // photograph.
    static const long long maxPixels = 8192LL * 4096LL;
    static const int maxJpegScans = 100;

    // Reads the header of the bytes; path only decides whether a file
    // without a signature may be a TGA.
    static PictureHeader read(const unsigned char* bytes, size_t size, const std::string& path);

    PictureFormat format() const { return format_; }
    int width() const { return width_; }
    int height() const { return height_; }
    // True when the file may be decoded; otherwise problem() says why.
    bool usable() const { return problem_.empty(); }
    const std::string& problem() const { return problem_; }

    // "PNG", "JPEG", "BMP", "TGA" or "unknown".
    static const char* formatName(PictureFormat format);

private:
    PictureHeader();
    PictureHeader& refuse(const std::string& why);
    PictureHeader& setSize(int width, long long height);

    void readPng(const unsigned char* bytes, size_t size);
    void readJpeg(const unsigned char* bytes, size_t size);
    void readBmp(const unsigned char* bytes, size_t size);
    void readTga(const unsigned char* bytes, size_t size);

    PictureFormat format_;
    int width_;
    int height_;
    std::string problem_;
};

#endif
