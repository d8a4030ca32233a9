#include "BitmapFontBuilder.h"

#include "Font.h"
#include "Image.h"
#include "Texture.h"

#include <cstdint>
#include <cstdio>
#include <vector>

BitmapFontBuilder::BitmapFontBuilder() = default;
BitmapFontBuilder::~BitmapFontBuilder() = default;

Font* BitmapFontBuilder::build(Image* image, const std::string& glyphOrder, int cellWidth,
                               int cellHeight)
{
    if (!image) {
        std::fprintf(stderr, "bitmap font: no picture\n");
        return nullptr;
    }
    const long long W = image->width();
    const long long total = W * image->height();
    if (cellWidth <= 0 || cellHeight <= 0) {
        std::fprintf(stderr, "bitmap font: cell size %d x %d is not positive\n", cellWidth,
                     cellHeight);
        return nullptr;
    }
    if (static_cast<long long>(cellWidth) * cellHeight > total) {
        std::fprintf(stderr, "bitmap font: %lld x %d picture too small for %d x %d cells\n", W,
                     image->height(), cellWidth, cellHeight);
        return nullptr;
    }

    const uint32_t* pixels = image->pixels();
    Font* font = new Font(glyphOrder);
    std::vector<uint32_t> cell(static_cast<size_t>(cellWidth) * cellHeight);
    long long cellStart = 0;
    long long runningX = 0;
    long long cellRow = 0;
    int skipped = 0;
    for (char byte : glyphOrder) {
        const unsigned char c = static_cast<unsigned char>(byte);
        const long long start = cellStart;
        runningX += cellWidth;
        if (runningX > W) {
            ++cellRow;
            cellStart = cellRow * cellHeight * W;
            runningX = 0;
        } else {
            cellStart += cellWidth;
        }
        if (start >= total) {
            ++skipped;
            continue;
        }
        for (int j = 0; j < cellHeight; ++j) {
            for (int k = 0; k < cellWidth; ++k) {
                const long long at = start + j * W + k;
                cell[static_cast<size_t>(j) * cellWidth + k] = at < total ? pixels[at] : 0;
            }
        }
        Texture* texture = createTexture(false, cell.data(), cellWidth, cellHeight);
        if (!texture)
            continue;
        texture->setAlpha(255, true);
        font->setGlyph(texture, c);
    }
    if (skipped > 0)
        std::fprintf(stderr, "bitmap font: %d glyphs lie past the end of the picture; left out\n",
                     skipped);
    return font;
}
