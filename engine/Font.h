#ifndef QUORIN_FONT_H
#define QUORIN_FONT_H

#include <string>

class Texture;
class Image;

// Single-byte text drawn with one glyph texture per byte value. The pen
// moves right by each glyph picture's width; the glyph of 'I' gives the line
// height and the advance of a space and of every byte without a glyph. A
// missing lower-case letter falls back to its upper-case glyph. The font
// owns its glyph textures.
class Font {
public:
    explicit Font(const std::string& name);
    virtual ~Font();

    const std::string& name() const { return name_; }

    // Destroys the glyph stored for that byte, then takes the picture
    // (null leaves the byte without glyph).
    void setGlyph(Texture* picture, unsigned char character);
    Texture* glyph(unsigned char character) const { return glyphs_[character]; }

    // Height of the glyph of 'I'; 0 when the font has none.
    int lineHeight() const;
    // Width of the widest line of text.
    int textWidth(const std::string& text) const;
    // Draws text with its first line's top-left corner at (x, y), window
    // pixels, y downwards, alpha-blended.
    void drawText(int x, int y, const std::string& text) const;

private:
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    // The glyph a byte draws with, or null when it only advances the pen;
    // advance receives the pen step.
    Texture* glyphFor(unsigned char c, int& advance) const;

    std::string name_;
    Texture* glyphs_[256];
};

// From a file of the data archive: "TTF" files are rasterised at cellHeight
// pixels (cellWidth unused), any other file is read as a picture cut into
// cellWidth x cellHeight cells in glyphOrder. An empty glyphOrder gives a
// TrueType font the default glyph set and a bitmap font no glyph at all.
// Null (with a message on stderr) when the file is missing or unusable.
Font* loadFont(const std::string& path, const std::string& glyphOrder, int cellWidth,
               int cellHeight);

// A bitmap font from a picture in memory; the image stays the caller's.
Font* buildBitmapFont(Image* image, const std::string& glyphOrder, int cellWidth,
                      int cellHeight);

#endif
