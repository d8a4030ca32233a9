#ifndef QUORIN_BITMAPFONTBUILDER_H
#define QUORIN_BITMAPFONTBUILDER_H

#include <string>

class Font;
class Image;

// Cuts a picture into equal cells, one glyph per byte of the glyph order,
// read left to right from pixel (0, 0). A cell row ends after the first cell
// whose right end lies past the picture's width; such a cell takes its last
// columns from the start of the next pixel rows. Black is transparent.
class BitmapFontBuilder {
public:
    BitmapFontBuilder();
    virtual ~BitmapFontBuilder();

    // Null (with a message on stderr) for a missing image, a cell side of
    // 0 or less, or a cell larger than the whole picture. Pixels past the
    // picture's last one read as transparent black; a cell that starts past
    // it gives no glyph. The image stays the caller's.
    Font* build(Image* image, const std::string& glyphOrder, int cellWidth, int cellHeight);
};

#endif
