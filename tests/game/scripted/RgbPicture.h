#ifndef QUORIN_RGBPICTURE_H
#define QUORIN_RGBPICTURE_H

#include <cstdint>
#include <string>
#include <vector>

// A frame as the player saw it: 8-bit red, green and blue, rows top first.
// Saved and read as a binary PPM (P6), whose header comment carries a line
// of text about the frame (which frame it is, the race state it shows).
struct RgbPicture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;

    // Pixels x0 <= x < x1, y0 <= y < y1.
    struct Region {
        const char* name;
        int x0, y0, x1, y1;
    };

    bool empty() const { return rgb.empty(); }
    const uint8_t* at(int x, int y) const { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }

    // The region cut into blocks of block x block pixels: the mean over the
    // blocks and channels of the absolute difference of the two pictures'
    // mean colours there (0-255); 255 when the pictures are of different
    // sizes. A shift of a pixel or less, or another texel picked where a
    // texture is drawn small, changes little; another colour or brightness
    // of what is drawn changes it by as much.
    double meanBlockDifference(const RgbPicture& other, const Region& region, int block) const;
    // The standard deviation of the brightness over the region: 0 for one
    // flat colour (a black or cleared screen).
    double brightnessDeviation(const Region& region) const;
    // The share of the region's pixels whose every channel is above 200
    // (the game's white text).
    double whiteShare(const Region& region) const;

    // Writes FILE (folders made as needed); false when it cannot.
    bool savePpm(const std::string& file, const std::string& comment) const;
    // Reads FILE; false, with the picture empty, when it is missing or not
    // a PPM of 8-bit channels. The comment is its first comment line.
    bool loadPpm(const std::string& file, std::string* comment);
};

#endif
