#ifndef QUORIN_TRUETYPEFONTBUILDER_H
#define QUORIN_TRUETYPEFONTBUILDER_H

#include <string>

class DataFile;
class Font;

// Rasterises a TrueType file with FreeType into one picture per character,
// all cellHeight pixels tall, with an em of cellHeight - 2 pixels and one
// shared baseline. Each picture is as wide as the glyph's bitmap plus its
// left bearing plus an empty column on each side. Black is transparent.
class TrueTypeFontBuilder {
public:
    TrueTypeFontBuilder();
    virtual ~TrueTypeFontBuilder();

    // The 97 characters used when no glyph order is given.
    static const std::string& defaultGlyphSet();
    // Largest cell height the builder accepts.
    static const int maxCellHeight = 1024;

    // Null (with a message on stderr) when FreeType cannot open the file or
    // the cell height is outside 3 .. maxCellHeight. A character that fails
    // to load or render, or whose outline is more than four cells wide or
    // tall (a damaged font), is left without glyph. cellWidth is not used.
    Font* build(DataFile* file, const std::string& glyphOrder, int cellWidth, int cellHeight);
};

#endif
