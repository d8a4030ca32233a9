#include "MediaFixture.h"

#include "BitmapFontBuilder.h"
#include "DataFile.h"
#include "Font.h"
#include "Image.h"
#include "RenderState.h"
#include "SkipMissing.h"
#include "Texture.h"
#include "TrueTypeFontBuilder.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <memory>

namespace {

int glyphCount(const Font& font)
{
    int n = 0;
    for (int c = 0; c < 256; ++c)
        n += font.glyph(static_cast<unsigned char>(c)) != nullptr;
    return n;
}

RecordingTexture* texture(Texture* t)
{
    return static_cast<RecordingTexture*>(t);
}

} // namespace

class FontTest : public MediaTest {
protected:
    // Upper-case glyphs only: I 5 wide, A 10, B 12, C 8, and a space glyph
    // 30 wide that text must never use; all 20 high.
    std::unique_ptr<Font> lettersFont()
    {
        auto font = std::make_unique<Font>("IABC ");
        const std::pair<char, int> widths[] = {{'I', 5}, {'A', 10}, {'B', 12}, {'C', 8}, {' ', 30}};
        for (auto [c, w] : widths)
            font->setGlyph(createBlankTexture(false, w, 20), static_cast<unsigned char>(c));
        return font;
    }
};

TEST_F(FontTest, TextWidthIsTheWidestLine)
{
    auto font = lettersFont();
    EXPECT_EQ(font->lineHeight(), 20);
    struct Case {
        const char* text;
        int width;
    };
    const Case cases[] = {
        {"", 0},           {"\n\n", 0},        {"ABC", 30},       {"AB\nABC", 30},
        {"ABC\nA", 30},    {"abc", 30},        {"A B", 27},       {"  ", 10},
        {"\xE9", 5},       {"xyz", 15},        {"I\nIIIIII\nI", 30},
    };
    for (const Case& c : cases)
        EXPECT_EQ(font->textWidth(c.text), c.width) << '"' << c.text << '"';
}

TEST_F(FontTest, DrawTextPlacesEachGlyphAtThePen)
{
    auto font = lettersFont();
    Texture* A = font->glyph('A');
    Texture* B = font->glyph('B');
    Texture* C = font->glyph('C');
    device.clearCalls();
    font->drawText(10, 20, "A\nbC \xE9" "A");

    std::vector<Placed> drawn = rectangles();
    ASSERT_EQ(drawn.size(), 4u) << device.dump();
    const Placed expected[] = {{A, 10, 20}, {B, 10, 40}, {C, 22, 40}, {A, 40, 40}};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(drawn[i].texture, expected[i].texture) << i;
        EXPECT_EQ(drawn[i].x, expected[i].x) << i;
        EXPECT_EQ(drawn[i].y, expected[i].y) << i;
    }
    // Alpha blending on stage 0, and every state back afterwards.
    std::vector<std::string> head = trace({"pushRenderStates", "setTextureStage", "setRenderState"});
    ASSERT_GE(head.size(), 3u);
    EXPECT_EQ(head[0], "pushRenderStates");
    EXPECT_EQ(head[1], "setTextureStage 0");
    EXPECT_EQ(head[2], "setRenderState 4 28");
    EXPECT_EQ(device.getRenderState(RenderStateType::blendMode), RenderStateValue::blendOff);
    EXPECT_EQ(device.renderStates().depth(), 1);
}

TEST_F(FontTest, GlyphsBelongToTheFont)
{
    auto font = lettersFont();
    EXPECT_EQ(liveTextures(), 5);
    font->setGlyph(createBlankTexture(false, 7, 20), 'A');
    EXPECT_EQ(liveTextures(), 5);   // the old A is gone
    EXPECT_EQ(font->textWidth("A"), 7);
    font->setGlyph(nullptr, 'B');
    EXPECT_EQ(liveTextures(), 4);
    font.reset();
    EXPECT_EQ(liveTextures(), 0);
}

TEST_F(FontTest, FontWithoutIHasNoMetricsAndDrawsOnlyItsGlyphs)
{
    Font font("A");
    font.setGlyph(createBlankTexture(false, 10, 20), 'A');
    EXPECT_EQ(font.lineHeight(), 0);
    EXPECT_EQ(font.textWidth("A A?"), 20);
    font.drawText(0, 0, "A A\nA");
    EXPECT_EQ(rectangles().size(), 3u);
}

TEST_F(FontTest, BitmapCellsRunAlongTheRowAndOnePastTheEdge)
{
    // 64 x 32 picture, every pixel a distinct colour except a black column
    // at x 1; 16-pixel cells: a cell row holds 5 cells, the fifth read past
    // the right edge from the start of the next pixel rows.
    const int W = 64, H = 32;
    std::vector<uint32_t> pixels(W * H);
    for (int i = 0; i < W * H; ++i)
        pixels[i] = (i % W == 1) ? 0 : 0x00100000u + uint32_t(i);
    Image image(pixels.data(), W, H, false);
    BitmapFontBuilder builder;
    std::unique_ptr<Font> font(builder.build(&image, "123456", 16, 16));
    ASSERT_TRUE(font);
    EXPECT_EQ(font->name(), "123456");
    EXPECT_EQ(glyphCount(*font), 6);

    const int starts[] = {0, 16, 32, 48, 64, 16 * W};   // cell start, as a pixel index
    for (int g = 0; g < 6; ++g) {
        RecordingTexture* glyph = texture(font->glyph(static_cast<unsigned char>('1' + g)));
        ASSERT_NE(glyph, nullptr);
        ASSERT_EQ(glyph->width(), 16);
        ASSERT_EQ(glyph->height(), 16);
        for (int j = 0; j < 16; ++j) {
            for (int k = 0; k < 16; ++k) {
                uint32_t source = pixels[starts[g] + j * W + k];
                uint32_t want = source == 0 ? 0 : (source | 0xFF000000u);
                // Texel rows run bottom-up.
                ASSERT_EQ(glyph->texel(k, 15 - j), want) << "glyph " << g << " at " << k << "," << j;
            }
        }
    }
}

TEST_F(FontTest, BitmapBuildRefusesUnusableCellsAndNeverReadsPastThePicture)
{
    std::vector<uint32_t> pixels(32 * 16, 0x00FFFFFFu);
    Image image(pixels.data(), 32, 16, true);
    BitmapFontBuilder builder;
    struct Case {
        int w, h;
    };
    for (Case c : {Case{0, 16}, Case{16, 0}, Case{-16, 16}, Case{16, -1}, Case{64, 16}, Case{32, 17}}) {
        EXPECT_EQ(std::unique_ptr<Font>(builder.build(&image, "AB", c.w, c.h)), nullptr)
            << c.w << " x " << c.h;
    }
    EXPECT_EQ(std::unique_ptr<Font>(builder.build(nullptr, "AB", 16, 16)), nullptr);
    EXPECT_EQ(created(), 0);

    // C starts at x 32 (the edge) and runs out of pixels: its missing part
    // is transparent. D would start past the last pixel and is left out.
    std::unique_ptr<Font> font(builder.build(&image, "ABCD", 16, 16));
    ASSERT_TRUE(font);
    RecordingTexture* C = texture(font->glyph('C'));
    ASSERT_NE(C, nullptr);
    EXPECT_EQ(C->texel(0, 15), 0xFFFFFFFFu);   // top row, read from pixel row 1
    EXPECT_EQ(C->texel(0, 0), 0u);             // bottom row, past the picture
    EXPECT_EQ(font->glyph('D'), nullptr);
    std::unique_ptr<Font> none(builder.build(&image, "", 16, 16));
    ASSERT_TRUE(none);
    EXPECT_EQ(glyphCount(*none), 0);
}

class TrueTypeTest : public FontTest {
protected:
    void SetUp() override
    {
        dejaVu = readFile(QUORIN_DEJAVU_SANS);
        if (dejaVu.empty())
            QUORIN_SKIP_MISSING(QUORIN_DEJAVU_SANS << " missing (package fonts-dejavu-core)");
    }
    std::string dejaVu;
};

TEST_F(TrueTypeTest, DefaultGlyphSetGivesNinetySevenCellHighGlyphs)
{
    files.add("Sans.TTF", dejaVu);
    std::unique_ptr<Font> font(loadFont("Sans.TTF", "", 0, 32));
    ASSERT_TRUE(font);
    EXPECT_EQ(TrueTypeFontBuilder::defaultGlyphSet().size(), 97u);
    EXPECT_EQ(font->name(), TrueTypeFontBuilder::defaultGlyphSet());
    EXPECT_EQ(glyphCount(*font), 97);
    for (unsigned char c : TrueTypeFontBuilder::defaultGlyphSet())
        EXPECT_EQ(font->glyph(c)->height(), 32) << int(c);
    EXPECT_EQ(font->lineHeight(), 32);

    // The space is a blank picture as wide as the picture of 'I'.
    RecordingTexture* space = texture(font->glyph(' '));
    EXPECT_EQ(space->width(), font->glyph('I')->width());
    for (uint32_t t : space->texels())
        ASSERT_EQ(t, 0u);
}

TEST_F(TrueTypeTest, GlyphPixelsSitOnTheSharedBaseline)
{
    FT_Library library;
    ASSERT_EQ(FT_Init_FreeType(&library), 0);
    FT_Face face;
    ASSERT_EQ(FT_New_Memory_Face(library, reinterpret_cast<const FT_Byte*>(dejaVu.data()),
                                 static_cast<FT_Long>(dejaVu.size()), 0, &face),
              0);
    struct Case {
        int h;
        int baselineRow;   // picture row of the first bitmap row below the baseline
    };
    const std::string sample = "Agj\xE9_(";
    for (Case c : {Case{32, 24}, Case{20, 14}}) {
        DataFile file("Sans.ttf", dejaVu.data(), static_cast<int>(dejaVu.size()));
        TrueTypeFontBuilder builder;
        std::unique_ptr<Font> font(builder.build(&file, sample, 99, c.h));
        ASSERT_TRUE(font);
        ASSERT_EQ(FT_Set_Char_Size(face, 0, (c.h - 2) * 64, 0, 0), 0);
        for (unsigned char ch : sample) {
            SCOPED_TRACE(testing::Message() << "h " << c.h << " glyph " << int(ch));
            ASSERT_EQ(FT_Load_Char(face, ch, FT_LOAD_RENDER), 0);
            const FT_GlyphSlot slot = face->glyph;
            const int w = int(slot->bitmap.width) + slot->bitmap_left + 2;
            std::vector<uint32_t> want(size_t(w) * c.h, 0);
            for (int i = 0; i < int(slot->bitmap.rows); ++i) {
                for (int j = 0; j < int(slot->bitmap.width); ++j) {
                    int row = c.baselineRow + i - slot->bitmap_top;
                    int col = slot->bitmap_left + j + 1;
                    unsigned coverage = slot->bitmap.buffer[i * slot->bitmap.pitch + j];
                    if (row >= 0 && row < c.h && col >= 0 && col < w && coverage)
                        want[size_t(row) * w + col] = 0xFF000000u | (coverage * 0x010101u);
                }
            }
            RecordingTexture* glyph = texture(font->glyph(ch));
            ASSERT_NE(glyph, nullptr);
            ASSERT_EQ(glyph->width(), w);
            ASSERT_EQ(glyph->height(), c.h);
            // Texture storage is power-of-two wide, rows bottom-up; the
            // picture is w wide so only exact powers of two compare 1:1.
            if (glyph->textureWidth() == w && glyph->textureHeight() == c.h) {
                for (int y = 0; y < c.h; ++y)
                    for (int x = 0; x < w; ++x)
                        ASSERT_EQ(glyph->texel(x, c.h - 1 - y), want[size_t(y) * w + x]) << x << "," << y;
            } else {
                // Compare the stretched storage through its nearest-pixel map.
                const int tw = glyph->textureWidth(), th = glyph->textureHeight();
                const int stepX = int(w * 256.0 / tw), stepY = int(c.h * 256.0 / th);
                for (int r = 0; r < th; ++r)
                    for (int col = 0; col < tw; ++col) {
                        int y = c.h - 1 - ((r * stepY) >> 8);
                        int x = (col * stepX) >> 8;
                        ASSERT_EQ(glyph->texel(col, r), want[size_t(y) * w + x]) << col << "," << r;
                    }
            }
        }
    }
    FT_Done_Face(face);
    FT_Done_FreeType(library);
}

TEST_F(TrueTypeTest, LoadFontPicksTheBuilderByExtensionAndRefusesBadInput)
{
    files.add("a.ttf", dejaVu);
    files.add("junk.ttf", std::string("not a font at all"));
    std::unique_ptr<Font> trueType(loadFont("a.ttf", "", 0, 24));
    ASSERT_TRUE(trueType);
    EXPECT_EQ(glyphCount(*trueType), 97);

    // Any other extension is a picture cut into cells.
    std::unique_ptr<Font> bitmap(loadFont("picture.png", "AB", 16, 32));
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(glyphCount(*bitmap), 2);
    EXPECT_EQ(bitmap->glyph('A')->width(), 16);

    EXPECT_EQ(loadFont("missing.ttf", "", 0, 24), nullptr);
    EXPECT_EQ(loadFont("junk.ttf", "", 0, 24), nullptr);
    files.add("junk.png", std::string("not a picture"));
    EXPECT_EQ(loadFont("junk.png", "AB", 16, 32), nullptr);
    for (int h : {2, 0, -5, 100000})
        EXPECT_EQ(loadFont("a.ttf", "", 0, h), nullptr) << h;
}

// A damaged font whose glyphs come out thousands of pixels large (here
// DejaVu Sans told it has 16 units to the em instead of 2048): FreeType
// loads them, and the builder leaves them out instead of rendering them
// whole and keeping pictures many cells wide.
TEST_F(TrueTypeTest, GlyphsFarLargerThanTheirCellAreLeftOut)
{
    std::string font = dejaVu;
    auto u16 = [&](size_t at) { return (unsigned(uint8_t(font[at])) << 8) | uint8_t(font[at + 1]); };
    size_t head = 0;
    for (unsigned t = 0, tables = u16(4); t < tables; ++t) {
        const size_t record = 12 + 16 * size_t(t);
        if (font.compare(record, 4, "head") == 0)
            head = (size_t(u16(record + 8)) << 16) | u16(record + 10);
    }
    ASSERT_GT(head, 0u);
    font[head + 18] = 0;   // unitsPerEm: 16
    font[head + 19] = 16;

    const int h = 20;
    FT_Library library;
    ASSERT_EQ(FT_Init_FreeType(&library), 0);
    FT_Face face;
    ASSERT_EQ(FT_New_Memory_Face(library, reinterpret_cast<const FT_Byte*>(font.data()),
                                 static_cast<FT_Long>(font.size()), 0, &face),
              0);
    ASSERT_EQ(FT_Set_Char_Size(face, 0, (h - 2) * 64, 0, 0), 0);
    ASSERT_EQ(FT_Load_Char(face, 'A', 0), 0);
    EXPECT_GT(face->glyph->metrics.width, 4 * h * 64);
    FT_Done_Face(face);
    FT_Done_FreeType(library);

    DataFile file("damaged.ttf", font.data(), static_cast<int>(font.size()));
    TrueTypeFontBuilder builder;
    std::unique_ptr<Font> built(builder.build(&file, "AW", 0, h));
    ASSERT_TRUE(built);
    EXPECT_EQ(built->glyph('A'), nullptr);
    EXPECT_EQ(built->glyph('W'), nullptr);
}
