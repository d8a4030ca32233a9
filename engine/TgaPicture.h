#ifndef QUORIN_TGAPICTURE_H
#define QUORIN_TGAPICTURE_H

#include <cstddef>
#include <cstdint>
#include <string>

// A TGA file, read by the engine itself: colour-mapped (8- or 16-bit
// indexes into a map of 16-, 24- or 32-bit entries), true-colour (15, 16, 24
// or 32 bits) or grey (8 bits, or 16 of grey and alpha), raw or run-length
// (packets may run on from one row into the next), stored from either
// corner. A true-colour or grey TGA may carry a colour map (of 15- to 32-bit
// entries), which is skipped. 15- and 16-bit colours are 5 bits each of red,
// green and blue. Alpha is not read: every pixel comes out opaque.
//
// As with BmpPicture, the constructor reads the header, checkData() makes
// sure the image ID, the colour map and every pixel lie inside the file
// (the pixels, in a TGA 2.0 file, before the extension and developer areas
// its footer names) and that every colour index names an entry of the map,
// and decode() cannot read or write outside its bounds whatever the bytes
// hold.
class TgaPicture {
public:
    // The bytes stay the caller's and must outlive the object.
    TgaPicture(const unsigned char* bytes, size_t size);

    bool usable() const { return problem_.empty(); }
    const std::string& problem() const { return problem_; }
    int width() const { return width_; }
    int height() const { return height_; }

    void checkData();
    // Writes width x height pixels 0xFFRRGGBB, top row first. False (and
    // nothing written) unless checkData() found the file sound.
    bool decode(uint32_t* pixels) const;

private:
    void readHeader();
    void refuse(const std::string& why);
    uint32_t colour(const unsigned char* pixel) const;
    // Where the pixel data must end: the file's end or, in a TGA 2.0 file,
    // the first extension or developer area its footer names.
    size_t pixelEnd() const;
    uint32_t mapColour(unsigned index) const;

    const unsigned char* bytes_;
    size_t size_;
    std::string problem_;
    bool checked_ = false;
    unsigned imageType_ = 0;
    int width_ = 0;
    int height_ = 0;
    unsigned depth_ = 0;
    bool topFirst_ = false;
    bool rightToLeft_ = false;
    bool hasMap_ = false;
    unsigned mapFirst_ = 0;
    unsigned mapLength_ = 0;
    unsigned mapEntryBits_ = 0;
    size_t mapStart_ = 0;
    size_t pixelStart_ = 0;
};

#endif
