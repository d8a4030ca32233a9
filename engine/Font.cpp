#include "Font.h"

#include "BitmapFontBuilder.h"
#include "DataFile.h"
#include "Device.h"
#include "FileSystem.h"
#include "Image.h"
#include "RenderState.h"
#include "Texture.h"
#include "TrueTypeFontBuilder.h"

#include <cstdio>
#include <memory>

Font::Font(const std::string& name)
    : name_(name),
      glyphs_{}
{
}

Font::~Font()
{
    for (Texture*& glyph : glyphs_) {
        delete glyph;
        glyph = nullptr;
    }
}

void Font::setGlyph(Texture* picture, unsigned char character)
{
    if (glyphs_[character] != picture)
        delete glyphs_[character];
    glyphs_[character] = picture;
}

int Font::lineHeight() const
{
    Texture* metric = glyphs_['I'];
    return metric ? metric->height() : 0;
}

Texture* Font::glyphFor(unsigned char c, int& advance) const
{
    Texture* glyph = glyphs_[c];
    if (!glyph && c >= 'a' && c <= 'z') {
        c = static_cast<unsigned char>(c - 32);
        glyph = glyphs_[c];
    }
    if (glyph && c != ' ') {
        advance = glyph->width();
        return glyph;
    }
    Texture* metric = glyphs_['I'];
    advance = metric ? metric->width() : 0;
    return nullptr;
}

int Font::textWidth(const std::string& text) const
{
    int running = 0;
    int widest = 0;
    for (char byte : text) {
        unsigned char c = static_cast<unsigned char>(byte);
        if (c == '\n') {
            running = 0;
        } else {
            int advance;
            glyphFor(c, advance);
            running += advance;
        }
        if (running > widest)
            widest = running;
    }
    return widest;
}

void Font::drawText(int x, int y, const std::string& text) const
{
    Device* device = Device::instance();
    if (!device)
        return;
    device->pushRenderStates();
    device->setTextureStage(0);
    device->setRenderState(RenderStateType::blendMode, RenderStateValue::blendAlpha);
    const int line = lineHeight();
    int penX = x;
    int penY = y;
    for (char byte : text) {
        unsigned char c = static_cast<unsigned char>(byte);
        if (c == '\n') {
            penX = x;
            penY += line;
            continue;
        }
        int advance;
        if (Texture* glyph = glyphFor(c, advance))
            glyph->drawAt(penX, penY);
        penX += advance;
    }
    device->popRenderStates();
}

Font* loadFont(const std::string& path, const std::string& glyphOrder, int cellWidth,
               int cellHeight)
{
    std::unique_ptr<DataFile> file(openFile(path));
    if (!file) {
        std::fprintf(stderr, "%s: font file not found\n", path.c_str());
        return nullptr;
    }
    if (file->extension() == "TTF") {
        TrueTypeFontBuilder builder;
        return builder.build(file.get(), glyphOrder, cellWidth, cellHeight);
    }
    std::unique_ptr<Image> image(loadImage(*file, true));
    if (!image) {
        std::fprintf(stderr, "%s: bitmap font picture cannot be read\n", path.c_str());
        return nullptr;
    }
    if (glyphOrder.empty())
        std::fprintf(stderr, "%s: bitmap font without a glyph order has no glyphs\n", path.c_str());
    BitmapFontBuilder builder;
    return builder.build(image.get(), glyphOrder, cellWidth, cellHeight);
}

Font* buildBitmapFont(Image* image, const std::string& glyphOrder, int cellWidth, int cellHeight)
{
    BitmapFontBuilder builder;
    return builder.build(image, glyphOrder, cellWidth, cellHeight);
}
