#include "TrueTypeFontBuilder.h"

#include "DataFile.h"
#include "Font.h"
#include "Texture.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdint>
#include <cstdio>
#include <vector>

TrueTypeFontBuilder::TrueTypeFontBuilder() = default;
TrueTypeFontBuilder::~TrueTypeFontBuilder() = default;

const std::string& TrueTypeFontBuilder::defaultGlyphSet()
{
    static const std::string set =
        " ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"
        "\x26\xE9\x7E\x22\x23\x27\x7B\x28\x5B\x2D\x7C\xE8\x5F\x5C\xE7\xE0\x40"
        "\x29\x5D\x3D\x2B\x7D\x5E\x24\x2A\x25\xF9\x21\x3A\x3B\x2E\x2C\x3F\x2F";
    return set;
}

namespace {

// Closes the face and the library however the build ends.
struct FreeTypeSession {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    ~FreeTypeSession()
    {
        if (face)
            FT_Done_Face(face);
        if (library)
            FT_Done_FreeType(library);
    }
};

} // namespace

Font* TrueTypeFontBuilder::build(DataFile* file, const std::string& glyphOrder, int /*cellWidth*/,
                                 int cellHeight)
{
    if (!file)
        return nullptr;
    const char* path = file->path().c_str();
    if (cellHeight <= 2 || cellHeight > maxCellHeight) {
        std::fprintf(stderr, "%s: font cell height %d outside 3 .. %d\n", path, cellHeight,
                     maxCellHeight);
        return nullptr;
    }
    const std::string& order = glyphOrder.empty() ? defaultGlyphSet() : glyphOrder;
    const int h = cellHeight;

    FreeTypeSession ft;
    if (FT_Init_FreeType(&ft.library) != 0) {
        std::fprintf(stderr, "%s: FreeType cannot start\n", path);
        return nullptr;
    }
    if (FT_New_Memory_Face(ft.library, file->data(), file->size(), 0, &ft.face) != 0) {
        ft.face = nullptr;
        std::fprintf(stderr, "%s: not a font FreeType can open\n", path);
        return nullptr;
    }
    if (FT_Set_Char_Size(ft.face, 0, static_cast<FT_F26Dot6>(h - 2) * 64, 0, 0) != 0) {
        std::fprintf(stderr, "%s: FreeType cannot set the size %d\n", path, h - 2);
        return nullptr;
    }

    // Picture row of the first bitmap row below the baseline, plus one.
    const int baseline = h / 2 + h / 6 + h / 8;
    Font* font = new Font(order);
    std::vector<uint32_t> picture;
    for (char byte : order) {
        const unsigned char c = static_cast<unsigned char>(byte);
        const bool blank = c == ' ';
        const FT_ULong character = blank ? 'I' : c;
        FT_UInt index = FT_Get_Char_Index(ft.face, character);
        if (FT_Load_Glyph(ft.face, index, 0) != 0) {
            std::fprintf(stderr, "%s: glyph 0x%02X cannot be rendered; left out\n", path, c);
            continue;
        }
        // A damaged font can give a glyph thousands of pixels across, which
        // FreeType would render whole (up to a gigabyte) before the picture
        // keeps one cell's height of it; no real glyph is that large.
        const FT_Glyph_Metrics& extent = ft.face->glyph->metrics;
        if (extent.width > 4LL * h * 64 || extent.height > 4LL * h * 64) {
            std::fprintf(stderr, "%s: glyph 0x%02X is far larger than its cell; left out\n", path, c);
            continue;
        }
        if (FT_Render_Glyph(ft.face->glyph, FT_RENDER_MODE_NORMAL) != 0) {
            std::fprintf(stderr, "%s: glyph 0x%02X cannot be rendered; left out\n", path, c);
            continue;
        }
        const FT_GlyphSlot slot = ft.face->glyph;
        const FT_Bitmap& bitmap = slot->bitmap;
        const int bitmapWidth = static_cast<int>(bitmap.width);
        const int bitmapRows = static_cast<int>(bitmap.rows);
        const int left = slot->bitmap_left;
        const int top = slot->bitmap_top;
        const long long wide = static_cast<long long>(bitmapWidth) + left + 2;
        if (wide <= 0 || wide > 8LL * h ||
            (bitmapWidth > 0 && bitmapRows > 0 &&
             (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY || !bitmap.buffer))) {
            std::fprintf(stderr, "%s: glyph 0x%02X has an unusable bitmap; left out\n", path, c);
            continue;
        }
        const int w = static_cast<int>(wide);
        picture.assign(static_cast<size_t>(w) * h, 0);
        if (!blank) {
            for (int i = 0; i < bitmapRows; ++i) {
                const int row = baseline + i - top - 1;
                if (row < 0 || row >= h)
                    continue;
                const unsigned char* source = bitmap.buffer + static_cast<long>(i) * bitmap.pitch;
                for (int j = 0; j < bitmapWidth; ++j) {
                    const int column = left + j + 1;
                    if (column < 0 || column >= w)
                        continue;
                    picture[static_cast<size_t>(row) * w + column] = source[j] * 0x010101u;
                }
            }
        }
        Texture* texture = createTexture(false, picture.data(), w, h);
        if (!texture)
            continue;
        texture->setAlpha(255, true);
        font->setGlyph(texture, blank ? ' ' : c);
    }
    return font;
}
