// One check per library of the Windows dependency prefix: each is linked as
// the project links it and does the work the project needs from it. The same
// expectations hold for the Linux build against Debian's packages.
#include <IL/il.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <jpeglib.h>
#include <png.h>
#include <sndfile.h>
#include <tinyxml.h>
#include <unzip.h>
#include <vorbis/vorbisfile.h>
#include <xmp.h>
#include <zip.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <type_traits>
#include <vector>

using Bytes = std::vector<unsigned char>;

namespace {

// --- zlib ---------------------------------------------------------------------

TEST(Zlib, CompressesAndRestores)
{
    std::string text;
    for (int i = 0; i < 200; ++i) text += "track tile " + std::to_string(i % 7) + "\n";
    uLongf packedSize = compressBound(text.size());
    Bytes packed(packedSize);
    ASSERT_EQ(compress(packed.data(), &packedSize, reinterpret_cast<const Bytes::value_type*>(text.data()),
                       text.size()), Z_OK);
    EXPECT_LT(packedSize, text.size() / 4);
    std::string back(text.size(), '\0');
    uLongf backSize = back.size();
    ASSERT_EQ(uncompress(reinterpret_cast<Bytes::value_type*>(&back[0]), &backSize, packed.data(), packedSize), Z_OK);
    EXPECT_EQ(back, text);
    EXPECT_NE(uncompress(reinterpret_cast<Bytes::value_type*>(&back[0]), &backSize, packed.data(), packedSize / 2),
              Z_OK);
}

// --- pictures: made in memory with libpng and libjpeg, read through DevIL -------

// 3 x 2 RGBA, pixel (x, y) = (80x, 100y, 7, 255 - x), top row first.
Bytes makePng()
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    Bytes out;
    png_set_write_fn(png, &out,
        [](png_structp p, png_bytep data, png_size_t size) {
            auto* o = static_cast<Bytes*>(png_get_io_ptr(p));
            o->insert(o->end(), data, data + size);
        },
        nullptr);
    png_set_IHDR(png, info, 3, 2, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < 2; ++y) {
        png_byte row[12];
        for (int x = 0; x < 3; ++x) {
            row[x * 4 + 0] = static_cast<png_byte>(80 * x);
            row[x * 4 + 1] = static_cast<png_byte>(100 * y);
            row[x * 4 + 2] = 7;
            row[x * 4 + 3] = static_cast<png_byte>(255 - x);
        }
        png_write_row(png, row);
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

// 16 x 8 RGB: left half red, right half blue.
Bytes makeJpeg()
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = 16;
    cinfo.image_height = 8;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 95, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    unsigned char row[16 * 3];
    for (int x = 0; x < 16; ++x) {
        row[x * 3 + 0] = x < 8 ? 255 : 0;
        row[x * 3 + 1] = 0;
        row[x * 3 + 2] = x < 8 ? 0 : 255;
    }
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW rows[1] = {row};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    Bytes out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

// 2 x 2, 24 bits: top row red, green; bottom row blue, white.
Bytes makeTga()
{
    Bytes out = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 24, 0x20};
    const unsigned char bgr[] = {0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255};
    out.insert(out.end(), std::begin(bgr), std::end(bgr));
    return out;
}

// The same picture as a bottom-up BMP (rows padded to 4 bytes).
Bytes makeBmp()
{
    auto le32 = [](Bytes& b, uint32_t v) { for (int i = 0; i < 4; ++i) b.push_back((v >> (8 * i)) & 0xff); };
    auto le16 = [](Bytes& b, uint16_t v) { b.push_back(v & 0xff); b.push_back(v >> 8); };
    Bytes out = {'B', 'M'};
    le32(out, 14 + 40 + 16); le32(out, 0); le32(out, 14 + 40);
    le32(out, 40); le32(out, 2); le32(out, 2); le16(out, 1); le16(out, 24);
    le32(out, 0); le32(out, 16); le32(out, 2835); le32(out, 2835); le32(out, 0); le32(out, 0);
    const unsigned char rows[] = {255, 0, 0, 255, 255, 255, 0, 0,   // bottom: blue, white
                                  0, 0, 255, 0, 255, 0, 0, 0};      // top: red, green
    out.insert(out.end(), std::begin(rows), std::end(rows));
    return out;
}

class Devil : public ::testing::Test {
protected:
    void SetUp() override
    {
        static bool initialised = false;
        if (!initialised) { ilInit(); initialised = true; }
        ilGenImages(1, &name_);
        ilBindImage(name_);
    }
    void TearDown() override
    {
        ilBindImage(0);
        ilDeleteImages(1, &name_);
    }
    // Loads from memory and gives the pixels as RGBA in top-down order.
    bool load(ILenum type, const Bytes& data, std::vector<ILubyte>& rgba)
    {
        if (!ilLoadL(type, data.data(), static_cast<ILuint>(data.size()))) return false;
        if (!ilConvertImage(IL_RGBA, IL_UNSIGNED_BYTE)) return false;
        if (ilGetInteger(IL_IMAGE_ORIGIN) != IL_ORIGIN_UPPER_LEFT) flipRows();
        const ILubyte* p = ilGetData();
        rgba.assign(p, p + ilGetInteger(IL_IMAGE_WIDTH) * ilGetInteger(IL_IMAGE_HEIGHT) * 4);
        return true;
    }
    // DevIL keeps each picture in its file's row order; flip bottom-up ones
    // here without ILU (not built), so the checks read top-down.
    static void flipRows()
    {
        const int w = ilGetInteger(IL_IMAGE_WIDTH), h = ilGetInteger(IL_IMAGE_HEIGHT);
        ILubyte* p = ilGetData();
        for (int y = 0; y < h / 2; ++y)
            std::swap_ranges(p + y * w * 4, p + (y + 1) * w * 4, p + (h - 1 - y) * w * 4);
    }
    ILuint name_ = 0;
};

TEST_F(Devil, LoadsPngFromMemoryTypedAndDetected)
{
    const Bytes png = makePng();
    for (ILenum type : {ILenum(IL_PNG), ILenum(IL_TYPE_UNKNOWN)}) {
        std::vector<ILubyte> px;
        ASSERT_TRUE(load(type, png, px)) << "type " << type << ", error " << ilGetError();
        EXPECT_EQ(ilGetInteger(IL_IMAGE_WIDTH), 3);
        EXPECT_EQ(ilGetInteger(IL_IMAGE_HEIGHT), 2);
        const std::vector<ILubyte> expected = {0, 0, 7, 255, 80, 0, 7, 254, 160, 0, 7, 253,
                                               0, 100, 7, 255, 80, 100, 7, 254, 160, 100, 7, 253};
        EXPECT_EQ(px, expected);
    }
}

TEST_F(Devil, LoadsJpegFromMemory)
{
    std::vector<ILubyte> px;
    ASSERT_TRUE(load(IL_JPG, makeJpeg(), px)) << "error " << ilGetError();
    ASSERT_EQ(ilGetInteger(IL_IMAGE_WIDTH), 16);
    ASSERT_EQ(ilGetInteger(IL_IMAGE_HEIGHT), 8);
    auto at = [&](int x, int y, int c) { return int(px[(y * 16 + x) * 4 + c]); };
    EXPECT_GT(at(2, 2, 0), 220); EXPECT_LT(at(2, 2, 2), 40);
    EXPECT_LT(at(13, 5, 0), 40); EXPECT_GT(at(13, 5, 2), 220);
}

TEST_F(Devil, LoadsTgaAndBmpBuiltIn)
{
    const std::vector<ILubyte> expected = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255};
    const struct { ILenum type; Bytes data; } cases[] = {{IL_TGA, makeTga()}, {IL_BMP, makeBmp()}};
    for (const auto& c : cases) {
        std::vector<ILubyte> px;
        ASSERT_TRUE(load(c.type, c.data, px)) << "type " << c.type << ", error " << ilGetError();
        EXPECT_EQ(px, expected) << "type " << c.type;
    }
}

TEST_F(Devil, RefusesDamagedData)
{
    const Bytes garbage(256, 0x5a);
    Bytes png = makePng();
    png.resize(png.size() / 2);
    Bytes jpeg = makeJpeg();
    jpeg.resize(jpeg.size() / 3);
    const struct { ILenum type; Bytes data; } cases[] = {
        {IL_PNG, garbage}, {IL_JPG, garbage}, {IL_BMP, garbage}, {IL_TGA, garbage},
        {IL_PNG, png}, {IL_JPG, jpeg}, {IL_TYPE_UNKNOWN, garbage},
    };
    for (const auto& c : cases)
        EXPECT_FALSE(ilLoadL(c.type, c.data.data(), static_cast<ILuint>(c.data.size()))) << "type " << c.type;
}

// --- FreeType -------------------------------------------------------------------

TEST(FreeType, RendersAGlyphFromAFontInMemory)
{
    std::ifstream in(CHECK_FONT, std::ios::binary);
    ASSERT_TRUE(in) << CHECK_FONT;
    const Bytes font((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    FT_Library library;
    ASSERT_EQ(FT_Init_FreeType(&library), 0);
    FT_Face face;
    ASSERT_EQ(FT_New_Memory_Face(library, font.data(), static_cast<FT_Long>(font.size()), 0, &face), 0);
    ASSERT_EQ(FT_Set_Pixel_Sizes(face, 0, 32), 0);
    ASSERT_EQ(FT_Load_Char(face, 'A', FT_LOAD_RENDER), 0);
    const FT_Bitmap& bitmap = face->glyph->bitmap;
    EXPECT_EQ(face->glyph->advance.x >> 6, 22);
    EXPECT_EQ(bitmap.width, 22u);
    EXPECT_EQ(bitmap.rows, 23u);
    int full = 0;
    for (unsigned y = 0; y < bitmap.rows; ++y)
        for (unsigned x = 0; x < bitmap.width; ++x) full += bitmap.buffer[y * bitmap.pitch + x] == 255;
    EXPECT_GT(full, 50);
    const Bytes junk(1000, 0x33);
    FT_Face bad;
    EXPECT_NE(FT_New_Memory_Face(library, junk.data(), static_cast<FT_Long>(junk.size()), 0, &bad), 0);
    FT_Done_Face(face);
    FT_Done_FreeType(library);
}

// --- minizip --------------------------------------------------------------------

TEST(Minizip, WritesAndReadsAnArchive)
{
    const char* path = "deps_check.zip";
    const std::string member = "levels/one.xml", text(5000, 'q');
    zipFile zf = zipOpen(path, APPEND_STATUS_CREATE);
    ASSERT_NE(zf, nullptr);
    ASSERT_EQ(zipOpenNewFileInZip(zf, member.c_str(), nullptr, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                  Z_DEFAULT_COMPRESSION), ZIP_OK);
    ASSERT_EQ(zipWriteInFileInZip(zf, text.data(), static_cast<unsigned>(text.size())), ZIP_OK);
    ASSERT_EQ(zipCloseFileInZip(zf), ZIP_OK);
    ASSERT_EQ(zipClose(zf, nullptr), ZIP_OK);

    unzFile uf = unzOpen(path);
    ASSERT_NE(uf, nullptr);
    ASSERT_EQ(unzLocateFile(uf, member.c_str(), 0), UNZ_OK);
    unz_file_info info;
    ASSERT_EQ(unzGetCurrentFileInfo(uf, &info, nullptr, 0, nullptr, 0, nullptr, 0), UNZ_OK);
    EXPECT_EQ(info.uncompressed_size, text.size());
    EXPECT_LT(info.compressed_size, 200u);
    ASSERT_EQ(unzOpenCurrentFile(uf), UNZ_OK);
    std::string back(text.size() + 10, '\0');
    EXPECT_EQ(unzReadCurrentFile(uf, &back[0], static_cast<unsigned>(back.size())), int(text.size()));
    back.resize(text.size());
    EXPECT_EQ(back, text);
    EXPECT_EQ(unzCloseCurrentFile(uf), UNZ_OK);
    EXPECT_EQ(unzLocateFile(uf, "levels/two.xml", 0), UNZ_END_OF_LIST_OF_FILE);
    unzClose(uf);
    std::remove(path);
    EXPECT_EQ(unzOpen("no such archive.zip"), nullptr);
}

// --- TinyXML --------------------------------------------------------------------

// Debian builds TinyXML with TIXML_USE_STL (and its header says so): strings
// are std::string on both platforms.
static_assert(std::is_same<decltype(std::declval<TiXmlNode>().ValueStr()), const std::string&>::value,
              "TinyXML without TIXML_USE_STL");

TEST(TinyXml, ParsesWithStlStringsAndReportsErrors)
{
    TiXmlDocument doc;
    doc.Parse("<level name='one'><tile kind=\"fast\">a &amp; b &#x41;</tile><tile/></level>");
    ASSERT_FALSE(doc.Error()) << doc.ErrorDesc();
    const TiXmlElement* level = doc.RootElement();
    ASSERT_NE(level, nullptr);
    EXPECT_EQ(level->ValueStr(), "level");
    const std::string* name = level->Attribute(std::string("name"));
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(*name, "one");
    const TiXmlElement* tile = level->FirstChildElement("tile");
    ASSERT_NE(tile, nullptr);
    EXPECT_STREQ(tile->GetText(), "a & b A");
    EXPECT_NE(tile->NextSiblingElement("tile"), nullptr);

    TiXmlDocument bad;
    bad.Parse("<level><tile></level>");
    EXPECT_TRUE(bad.Error());
    EXPECT_EQ(bad.ErrorId(), TiXmlBase::TIXML_ERROR_READING_END_TAG);
}

// --- libsndfile over libogg / libvorbis -------------------------------------------

struct MemoryFile {
    Bytes data;
    sf_count_t position = 0;
};

SF_VIRTUAL_IO memoryIo()
{
    SF_VIRTUAL_IO io;
    io.get_filelen = [](void* u) -> sf_count_t { return static_cast<MemoryFile*>(u)->data.size(); };
    io.seek = [](sf_count_t offset, int whence, void* u) -> sf_count_t {
        auto* m = static_cast<MemoryFile*>(u);
        sf_count_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? m->position : sf_count_t(m->data.size());
        m->position = base + offset;
        return m->position;
    };
    io.read = [](void* ptr, sf_count_t count, void* u) -> sf_count_t {
        auto* m = static_cast<MemoryFile*>(u);
        sf_count_t n = std::max<sf_count_t>(0, std::min<sf_count_t>(count, m->data.size() - m->position));
        std::memcpy(ptr, m->data.data() + m->position, n);
        m->position += n;
        return n;
    };
    io.write = [](const void* ptr, sf_count_t count, void* u) -> sf_count_t {
        auto* m = static_cast<MemoryFile*>(u);
        if (m->data.size() < size_t(m->position + count)) m->data.resize(m->position + count);
        std::memcpy(m->data.data() + m->position, ptr, count);
        m->position += count;
        return count;
    };
    io.tell = [](void* u) -> sf_count_t { return static_cast<MemoryFile*>(u)->position; };
    return io;
}

const int kRate = 44100, kFrames = 22050;

// Half a second of a 440 Hz sine at half scale, mono, in the given format.
MemoryFile writeSine(int format)
{
    MemoryFile file;
    SF_VIRTUAL_IO io = memoryIo();
    SF_INFO info = {};
    info.samplerate = kRate;
    info.channels = 1;
    info.format = format;
    SNDFILE* out = sf_open_virtual(&io, SFM_WRITE, &info, &file);
    EXPECT_NE(out, nullptr) << sf_strerror(nullptr);
    if (!out) return file;
    std::vector<float> sine(kFrames);
    for (int i = 0; i < kFrames; ++i) sine[i] = 0.5f * std::sin(2 * 3.14159265f * 440 * i / kRate);
    EXPECT_EQ(sf_writef_float(out, sine.data(), kFrames), kFrames);
    sf_close(out);
    file.position = 0;
    return file;
}

TEST(SndFile, WavAndOggVorbisRoundTrip)
{
    for (int format : {SF_FORMAT_WAV | SF_FORMAT_PCM_16, SF_FORMAT_OGG | SF_FORMAT_VORBIS}) {
        MemoryFile file = writeSine(format);
        ASSERT_FALSE(file.data.empty());
        SF_VIRTUAL_IO io = memoryIo();
        SF_INFO info = {};
        SNDFILE* in = sf_open_virtual(&io, SFM_READ, &info, &file);
        ASSERT_NE(in, nullptr) << sf_strerror(nullptr);
        EXPECT_EQ(info.format, format);
        EXPECT_EQ(info.frames, kFrames);
        std::vector<float> back(kFrames + 100);
        ASSERT_EQ(sf_readf_float(in, back.data(), back.size()), kFrames);
        double sum = 0;
        for (int i = 0; i < kFrames; ++i) sum += back[i] * back[i];
        EXPECT_NEAR(std::sqrt(sum / kFrames), 0.3536, 0.01) << "format " << std::hex << format;
        sf_close(in);
    }
}

TEST(SndFile, RefusesDataThatIsNoSound)
{
    MemoryFile file;
    file.data.assign(4096, 0x11);
    SF_VIRTUAL_IO io = memoryIo();
    SF_INFO info = {};
    EXPECT_EQ(sf_open_virtual(&io, SFM_READ, &info, &file), nullptr);
}

#ifdef SNDFILE_WITHOUT_FLAC_OPUS
// The Windows libsndfile has Vorbis without FLAC and Opus: those formats are
// refused, not crashed on.
TEST(SndFile, RefusesFlacAndOpusWhenBuiltWithoutThem)
{
    for (int format : {SF_FORMAT_FLAC | SF_FORMAT_PCM_16, SF_FORMAT_OGG | SF_FORMAT_OPUS}) {
        MemoryFile file;
        SF_VIRTUAL_IO io = memoryIo();
        SF_INFO info = {};
        info.samplerate = kRate;
        info.channels = 1;
        info.format = format;
        EXPECT_EQ(sf_open_virtual(&io, SFM_WRITE, &info, &file), nullptr) << std::hex << format;
    }
}
#endif

TEST(VorbisFile, DecodesTheOggStream)
{
    MemoryFile file = writeSine(SF_FORMAT_OGG | SF_FORMAT_VORBIS);
    ov_callbacks callbacks = {
        [](void* ptr, size_t size, size_t count, void* u) -> size_t {
            auto* m = static_cast<MemoryFile*>(u);
            size_t n = std::min(size * count, size_t(m->data.size() - m->position));
            std::memcpy(ptr, m->data.data() + m->position, n);
            m->position += n;
            return n / size;
        },
        nullptr, nullptr, nullptr};
    OggVorbis_File vf;
    ASSERT_EQ(ov_open_callbacks(&file, &vf, nullptr, 0, callbacks), 0);
    EXPECT_EQ(ov_info(&vf, -1)->rate, kRate);
    long total = 0, got;
    char buffer[4096];
    int section;
    while ((got = ov_read(&vf, buffer, sizeof buffer, 0, 2, 1, &section)) > 0) total += got;
    EXPECT_EQ(got, 0);
    EXPECT_EQ(total, kFrames * 2);
    ov_clear(&vf);
}

// --- libxmp ---------------------------------------------------------------------

// A four-channel module: one looping square-wave sample, one note.
Bytes makeModule()
{
    Bytes mod(20, 0);
    const int sampleWords = 16;
    for (int s = 0; s < 31; ++s) {
        Bytes header(30, 0);
        if (s == 0) {
            header[22] = 0; header[23] = sampleWords;   // length in words, big-endian
            header[25] = 64;                            // volume
            header[28] = 0; header[29] = sampleWords;   // loop over the whole sample
        } else {
            header[29] = 1;
        }
        mod.insert(mod.end(), header.begin(), header.end());
    }
    mod.push_back(1);     // song length
    mod.push_back(127);
    mod.insert(mod.end(), 128, 0);
    for (char c : std::string("M.K.")) mod.push_back(c);
    Bytes pattern(64 * 4 * 4, 0);
    const int period = 428;
    pattern[0] = period >> 8;
    pattern[1] = period & 0xff;
    pattern[2] = 1 << 4;  // sample 1
    mod.insert(mod.end(), pattern.begin(), pattern.end());
    for (int i = 0; i < sampleWords * 2; ++i) mod.push_back(i < sampleWords ? 100 : 256 - 100);
    return mod;
}

TEST(Xmp, PlaysAModuleFromMemory)
{
    xmp_context context = xmp_create_context();
    Bytes mod = makeModule();
    ASSERT_EQ(xmp_load_module_from_memory(context, mod.data(), static_cast<long>(mod.size())), 0);
    xmp_module_info info;
    xmp_get_module_info(context, &info);
    EXPECT_EQ(info.mod->chn, 4);
    ASSERT_EQ(xmp_start_player(context, kRate, 0), 0);
    std::vector<int16_t> buffer(4096 * 2);
    ASSERT_EQ(xmp_play_buffer(context, buffer.data(), static_cast<int>(buffer.size() * 2), 0), 0);
    int loud = 0;
    for (int16_t s : buffer) loud += std::abs(s) > 1000;
    EXPECT_GT(loud, 1000);
    xmp_end_player(context);
    xmp_release_module(context);

    const Bytes junk(2000, 0x42);
    EXPECT_NE(xmp_load_module_from_memory(context, junk.data(), static_cast<long>(junk.size())), 0);
    xmp_free_context(context);
}

// --- GoogleTest's mocking, linked from the same prefix ---------------------------------

struct Counter {
    virtual ~Counter() = default;
    virtual int next() = 0;
};
struct MockCounter : Counter {
    MOCK_METHOD(int, next, (), (override));
};

TEST(GoogleMock, Works)
{
    MockCounter counter;
    EXPECT_CALL(counter, next()).WillOnce(::testing::Return(3)).WillOnce(::testing::Return(4));
    EXPECT_EQ(counter.next() + counter.next(), 7);
}

}  // namespace
