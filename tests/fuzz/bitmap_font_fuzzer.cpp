// Bitmap fonts: a picture cut into cells. The first two bytes choose the
// cell width and height (0 to 63), the third the number of glyphs; the
// rest is the picture file, loaded as a font through the file system.
#include "FuzzSupport.h"
#include "Font.h"
#include "Texture.h"

#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3)
        return 0;
    RecordingDevice& device = fuzzDevice();
    MemoryFileSystem& files = fuzzFiles();
    const int cellWidth = data[0] % 64;
    const int cellHeight = data[1] % 64;
    static const std::string glyphs =
        " ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789.,:;!?'\"()-+*/=%&#@";
    const std::string order = glyphs.substr(0, data[2] % (glyphs.size() + 1));
    files.add("font.tga", data + 3, size - 3);
    std::unique_ptr<Font> font(loadFont("font.tga", order, cellWidth, cellHeight));
    if (font) {
        for (char c : order) {
            Texture* glyph = font->glyph(static_cast<unsigned char>(c));
            if (glyph)
                fuzzCheck(glyph->width() == cellWidth && glyph->height() == cellHeight);
        }
        font->drawText(0, 0, order);
    }
    font.reset();
    files.remove("font.tga");
    device.registry().releaseAll();
    return 0;
}
