// TrueType fonts through FreeType: the first byte chooses the cell height
// (0 to 63, so the refused heights of 2 and less come too), the rest is
// the font file. Every glyph picture is as tall as the cell.
#include "DataFile.h"
#include "FuzzSupport.h"
#include "Font.h"
#include "Texture.h"
#include "TrueTypeFontBuilder.h"

#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    RecordingDevice& device = fuzzDevice();
    const int cellHeight = data[0] % 64;
    DataFile file("fuzz.ttf", data + 1, static_cast<int>(size - 1));
    TrueTypeFontBuilder builder;
    std::unique_ptr<Font> font(builder.build(&file, "", 0, cellHeight));
    if (font) {
        for (int c = 0; c < 256; ++c) {
            if (Texture* glyph = font->glyph(static_cast<unsigned char>(c)))
                fuzzCheck(glyph->height() == cellHeight && glyph->width() >= 1);
        }
        font->drawText(0, 0, "Quorin 123 \xe9");
    }
    font.reset();
    device.registry().releaseAll();
    return 0;
}
