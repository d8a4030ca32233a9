#include "DataFile.h"
#include "DevilMemory.h"
#include "FileSystem.h"
#include "HostFiles.h"
#include "Image.h"
#include "MemoryFileSystem.h"
#include "PictureHeader.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

std::vector<uint32_t> row(const Image& image, int y)
{
    const uint32_t* p = image.pixels() + static_cast<size_t>(y) * image.width();
    return std::vector<uint32_t>(p, p + image.width());
}

// Installs a file system for one test.
class InstalledFileSystem {
public:
    explicit InstalledFileSystem(FileSystem* fileSystem) { FileSystem::setInstance(fileSystem); }
    ~InstalledFileSystem() { FileSystem::setInstance(nullptr); }
};

}

TEST(Image, ConstructionCopiesAndOptionallyForcesOpacity)
{
    const uint32_t pixels[2] = {0x00112233, 0x80445566};
    Image kept(pixels, 2, 1, false);
    EXPECT_EQ(row(kept, 0), (std::vector<uint32_t>{0x00112233, 0x80445566}));
    std::unique_ptr<Image> opaque(createImage(pixels, 2, 1, true));
    EXPECT_EQ(row(*opaque, 0), (std::vector<uint32_t>{0xFF112233, 0xFF445566}));

    Image empty(pixels, 0, 3, true);
    EXPECT_EQ(empty.width(), 0);
    EXPECT_EQ(empty.height(), 0);
}

TEST(Image, ResizeUsesEightBitFixedPointSteps)
{
    const uint32_t pixels[6] = {1, 2, 3, 4, 5, 6};
    Image image(pixels, 3, 2, false);
    image.resize(4, 2);
    EXPECT_EQ(image.width(), 4);
    EXPECT_EQ(image.height(), 2);
    EXPECT_EQ(row(image, 0), (std::vector<uint32_t>{1, 1, 2, 3}));
    EXPECT_EQ(row(image, 1), (std::vector<uint32_t>{4, 4, 5, 6}));

    // A whole screen to its texture size: every pixel comes from inside the
    // picture, and the last row and column from the picture's last ones.
    std::vector<uint32_t> screen(640 * 480);
    for (size_t i = 0; i < screen.size(); ++i)
        screen[i] = static_cast<uint32_t>(i);
    Image big(screen.data(), 640, 480, false);
    big.resize(1024, 512);
    ASSERT_EQ(big.width(), 1024);
    ASSERT_EQ(big.height(), 512);
    EXPECT_EQ(big.pixels()[0], 0u);
    // Row 511 reads source row (511 * 240) >> 8 = 479, column 1023 reads (1023 * 160) >> 8 = 639.
    EXPECT_EQ(big.pixels()[511 * 1024 + 1023], static_cast<uint32_t>(479 * 640 + 639));
}

TEST(Image, ResizeToNothingOrFromNothingStaysSafe)
{
    const uint32_t pixels[4] = {1, 2, 3, 4};
    Image image(pixels, 2, 2, false);
    image.resize(0, 8);
    EXPECT_EQ(image.width(), 0);
    EXPECT_EQ(image.height(), 0);
    image.resize(2, 2);   // nothing to sample: transparent black
    EXPECT_EQ(row(image, 1), (std::vector<uint32_t>{0, 0}));
}

TEST(Image, FlipVerticalSwapsRowsAroundTheMiddle)
{
    const uint32_t three[3] = {1, 2, 3};
    Image tall(three, 1, 3, false);
    tall.flipVertical();
    EXPECT_EQ(std::vector<uint32_t>(tall.pixels(), tall.pixels() + 3), (std::vector<uint32_t>{3, 2, 1}));
    Image flat(three, 3, 1, false);
    flat.flipVertical();
    EXPECT_EQ(row(flat, 0), (std::vector<uint32_t>{1, 2, 3}));
}

TEST(Image, SetAlphaBlackKey)
{
    const uint32_t pixels[3] = {0x7F000000, 0x00000001, 0x12345678};
    Image keyed(pixels, 3, 1, false);
    keyed.setAlpha(255, true);
    EXPECT_EQ(row(keyed, 0), (std::vector<uint32_t>{0, 0xFF000001, 0xFF345678}));
    Image plain(pixels, 3, 1, false);
    plain.setAlpha(16, false);
    EXPECT_EQ(row(plain, 0), (std::vector<uint32_t>{0x10000000, 0x10000001, 0x10345678}));
}

TEST(Image, DecodesAPictureTopRowFirstAndFullyOpaque)
{
    // 2 x 2: top row red, half-transparent green; bottom row blue, clear white.
    std::string png = makePng(2, 2, {0xFFFF0000, 0x8000FF00, 0xFF0000FF, 0x00FFFFFF});
    DataFile file("picture.png", png.data(), static_cast<int>(png.size()));
    std::unique_ptr<Image> image(loadImage(file, true));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width(), 2);
    EXPECT_EQ(image->height(), 2);
    EXPECT_EQ(row(*image, 0), (std::vector<uint32_t>{0xFFFF0000, 0xFF00FF00}));
    EXPECT_EQ(row(*image, 1), (std::vector<uint32_t>{0xFF0000FF, 0xFFFFFFFF}));

    // The same through the current file system, twice (the library is set
    // up once and left clean between decodings).
    MemoryFileSystem files;
    files.add("sky.png", png);
    InstalledFileSystem installed(&files);
    for (int i = 0; i < 2; ++i) {
        std::unique_ptr<Image> again(loadImageFile("sky.png", true));
        ASSERT_NE(again, nullptr);
        EXPECT_EQ(again->pixels()[3], 0xFFFFFFFFu);
    }
}

TEST(Image, BadPictureDataGivesNull)
{
    std::string png = makePng(4, 4, std::vector<uint32_t>(16, 0xFF808080));
    const std::string cases[] = {
        "",                                   // empty file
        "this is not a picture at all",       // text
        png.substr(0, 8),                     // signature only
        png.substr(0, png.size() / 2),        // truncated in the pixel data
    };
    for (const std::string& bytes : cases) {
        DataFile file("bad.png", bytes.data(), static_cast<int>(bytes.size()));
        std::unique_ptr<Image> image(loadImage(file, true));
        EXPECT_EQ(image, nullptr) << "bytes: " << bytes.size();
    }

    MemoryFileSystem files;
    InstalledFileSystem installed(&files);
    EXPECT_EQ(loadImageFile("missing.png", true), nullptr);
}

namespace {

std::string pictureFixture(const std::string& name)
{
    return readHostFile(std::string(QUORIN_PICTURE_FIXTURES) + "/" + name);
}

}

// Hostile and damaged pictures, among them inputs on which the image library
// crashed (a double free), hung or asked for gigabytes when it was handed
// every file to detect the format itself: each is refused before the
// library sees it, with the reason in the message "image <path>: <reason>".
TEST(ImageDecoding, RefusesHostileAndDamagedPicturesWithTheReason)
{
    const struct {
        const char* file;
        const char* reason;
    } cases[] = {
        {"pnm-short-read.pgm", "a PNM picture; the engine reads PNG, JPEG, BMP and TGA"},
        {"gif-huge-screen.gif", "a GIF picture"},
        {"gif-corrupt-leaks.gif", "a GIF picture"},
        {"hdr-huge.hdr", "a Radiance HDR picture"},
        {"icns-endless.icns", "an Apple icon picture"},
        {"unknown-huge.bin", "not a picture in a known format"},
        {"png-corrupt-leaks.png", "fails its CRC check"},
        {"png-too-many-pixels.png", "a picture may hold at most 33554432"},
        {"png-data-cut-short.png", "ends before its last row"},
        {"png-unknown-filter.png", "unknown filter type"},
        {"png-no-palette.png", "palette PNG without its palette"},
        {"bmp-huge-declared.bmp", "ends before its last row"},
        {"bmp-offset-past-end.bmp", "ends before its pixels"},
        {"bmp-too-wide.bmp", "a side may be at most 16384"},
        {"bmp-palette-count.bmp", "palette is larger than its pixels can use"},
        {"bmp-rle8-run-past-row.bmp", "a BMP run past the end of its row"},
        {"bmp-rle4-no-end.bmp", "ends before its end-of-bitmap code"},
        {"bmp-os2-header.bmp", "a BMP with a 12-byte header"},
        {"bmp-overlapping-masks.bmp", "unusable colour masks"},
        {"tga-rle-short.tga", "ends before its last pixel"},
        {"tga-interleaved.tga", "an interleaved TGA"},
        {"tga-map-15bit.tga", "a TGA colour map of 15-bit entries"},
        {"tga-index-past-map.tga", "a TGA pixel of colour index 300, outside its colour map of entries 0 to 299"},
        {"tga-rle-index-past-map.tga", "a TGA pixel of colour index 7, outside its colour map of entries 1 to 2"},
        {"tga-index-below-map.tga", "a TGA pixel of colour index 0, outside its colour map of entries 1 to 1"},
        {"tga-map-past-end.tga", "the TGA ends inside its colour map"},
        {"tga-mapped-without-map.tga", "a colour-mapped TGA without a colour map"},
        {"tga-mapped-24bit-index.tga", "a colour-mapped TGA of 24-bit indexes; 8- and 16-bit indexes are read"},
        {"tga-grey-24bit.tga", "a grey TGA of 24 bits a pixel; 8 (grey) and 16 (grey and alpha) are read"},
        {"tga-map-type-2.tga", "a TGA of colour map type 2"},
        {"tga-cut-in-image-id.tga", "the TGA ends inside its image ID"},
        // TGA 2.0: the pixels end where the first area the footer names
        // begins, however the area's bytes would read as pixels.
        {"tga-2-pixels-into-extension.tga", "the TGA ends before its last pixel"},
        {"tga-2-rle-into-developer-area.tga", "the TGA ends before its last pixel"},
        {"tga-2-index-from-extension.tga", "the TGA ends before its last pixel"},
        // 0, 0, 1, 0 starts both a Windows icon and a colour-mapped TGA
        // without map or image ID: what the rest of the file bears out.
        {"tga-mapped-without-map-or-id.tga", "a colour-mapped TGA without a colour map"},
        {"tga-mapped-without-map-counting-one.tga", "a colour-mapped TGA without a colour map"},
        {"tga-mapped-without-map-3-wide.tga", "a colour-mapped TGA without a colour map"},
        {"tga-mapped-without-map-x-origin.tga", "a colour-mapped TGA without a colour map"},
        {"ico-one-image.ico", "a Windows icon picture; the engine reads"},
        {"ico-counting-no-images.bin", "not a picture in a known format"},
        {"ico-image-inside-directory.bin", "not a picture in a known format"},
        {"ico-image-of-no-bytes.bin", "not a picture in a known format"},
        {"ico-with-tga-footer.tga", "a Windows icon picture or a colour-mapped TGA without a colour map"},
        {"jpeg-huge-declared.jpg", "a picture may hold at most"},
        {"jpeg-12bit.jpg", "12-bit samples"},
        {"jpeg-arithmetic.jpg", "arithmetic-coded"},
        {"jpeg-no-scan.jpg", "without image data"},
        {"jpeg-skip-past-end.jpg", "runs past the end of the file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string bytes = pictureFixture(c.file);
        ASSERT_FALSE(bytes.empty());
        PictureHeader header = PictureHeader::read(reinterpret_cast<const unsigned char*>(bytes.data()),
                                                   bytes.size(), c.file);
        EXPECT_FALSE(header.usable());
        EXPECT_NE(header.problem().find(c.reason), std::string::npos) << header.problem();
        DataFile file(c.file, bytes.data(), static_cast<int>(bytes.size()));
        testing::internal::CaptureStderr();
        EXPECT_EQ(std::unique_ptr<Image>(loadImage(file, true)), nullptr);
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  "image " + std::string(c.file) + ": " + header.problem() + "\n");
    }
}

// Every readable format decodes; a palette index past the file's palette
// reads black instead of memory behind the palette. The library's memory
// is back where it was after each decoding, and nothing was freed twice.
TEST(ImageDecoding, ReadableFormatsDecodeAndLeaveNothingBehind)
{
    const uint32_t red = 0xFFFF0000, green = 0xFF00FF00, blue = 0xFF0000FF, black = 0xFF000000,
                   white = 0xFFFFFFFF;
    const struct {
        const char* file;
        int width, height;
        std::vector<uint32_t> pixels;
    } cases[] = {
        {"bmp-24bit.bmp", 2, 1, {red, green}},
        {"bmp-index-past-palette.bmp", 2, 1, {red, black}},
        {"png-index-past-palette.png", 2, 1, {red, black}},
        // Rows bottom first: the first row of runs is the picture's last.
        {"bmp-rle8.bmp", 2, 2, {green, green, red, red}},
        // The runs end after the bottom row: the top one is colour 0, not
        // whatever memory held.
        {"bmp-rle8-ends-early.bmp", 2, 2, {red, red, white, white}},
        {"bmp-v5-header.bmp", 1, 1, {black}},
        {"tga-rle.tga", 3, 1, {blue, blue, blue}},
        // A colour map beside true-colour or grey pixels is skipped, however
        // wide its entries (of no size at all in a map of no entries);
        // 16-bit indexes reach past entry 255.
        {"tga-grey-with-map.tga", 2, 1, {black, white}},
        {"tga-grey-rle-with-15bit-map.tga", 2, 1, {white, white}},
        {"tga-true-colour-with-map.tga", 2, 1, {red, green}},
        {"tga-true-colour-rle-with-map.tga", 1, 2, {blue, blue}},
        {"tga-true-colour-empty-map.tga", 1, 1, {blue}},
        {"tga-mapped-16bit-index.tga", 2, 1, {red, green}},
        {"tga-mapped-rle-16bit-index.tga", 3, 1, {blue, blue, blue}},
        {"tga-2-with-areas.tga", 2, 1, {red, green}},
        {"jpeg-grey.jpg", 8, 8, std::vector<uint32_t>(64, 0xFF808080)},
        {"png-interlaced.png", 3, 3,
         {0xFF0A0A0A, 0xFF282828, 0xFF141414, 0xFF3C3C3C, 0xFF3C3C3C, 0xFF3C3C3C, 0xFF1E1E1E, 0xFF323232,
          0xFF1E1E1E}},
    };
    const std::string first = pictureFixture("png-interlaced.png");
    std::unique_ptr<Image> warmUp(loadImage(DataFile("a.png", first.data(), static_cast<int>(first.size())), true));
    const size_t held = DevilMemory::heldBytes();
    const long stray = DevilMemory::strayFrees();
    EXPECT_GT(held, 0u);   // the library allocates through the engine
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string bytes = pictureFixture(c.file);
        DataFile file(c.file, bytes.data(), static_cast<int>(bytes.size()));
        std::unique_ptr<Image> image(loadImage(file, true));
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->width(), c.width);
        EXPECT_EQ(image->height(), c.height);
        EXPECT_EQ(std::vector<uint32_t>(image->pixels(), image->pixels() + c.pixels.size()), c.pixels);
        EXPECT_EQ(DevilMemory::heldBytes(), held);
    }
    EXPECT_EQ(DevilMemory::strayFrees(), stray);
}

// A panorama of 8192 x 4096 (through the library) and a 6000 x 4000
// photograph's size (through the engine's BMP reader) read, top row first;
// one row more than the bound is refused before anything is allocated.
TEST(ImageDecoding, PanoramaAndPhotographSizesRead)
{
    const uint32_t red = 0xFFFF0000, grey = 0xFF808080;
    std::vector<uint32_t> panorama(8192u * 4096u, grey);
    panorama[0] = red;
    const std::string png = makePng(8192, 4096, panorama);
    panorama = std::vector<uint32_t>();
    std::unique_ptr<Image> wide(loadImage(DataFile("panorama.png", png.data(), static_cast<int>(png.size())), true));
    ASSERT_NE(wide, nullptr);
    EXPECT_EQ(wide->width(), 8192);
    EXPECT_EQ(wide->height(), 4096);
    EXPECT_EQ(wide->pixels()[0], red);
    EXPECT_EQ(wide->pixels()[8192u * 4096u - 1], grey);
    wide.reset();

    // 1 bit a pixel, rows bottom first: the last row in the file is the
    // picture's top, its first pixel set (white).
    const int width = 6000, height = 4000, rowBytes = 752;
    std::string bmp = "BM" + std::string(52, '\0') + std::string("\0\0\0\0\xff\xff\xff\0", 8);
    const auto put32 = [&bmp](size_t at, uint32_t value) {
        for (int i = 0; i < 4; ++i)
            bmp[at + i] = static_cast<char>(value >> (8 * i));
    };
    put32(10, 62);
    put32(14, 40);
    put32(18, width);
    put32(22, height);
    put32(26, 1 | (1 << 16));
    bmp += std::string(static_cast<size_t>(rowBytes) * height, '\0');
    bmp[62 + static_cast<size_t>(rowBytes) * (height - 1)] = '\x80';
    std::unique_ptr<Image> photo(loadImage(DataFile("photo.bmp", bmp.data(), static_cast<int>(bmp.size())), true));
    ASSERT_NE(photo, nullptr);
    EXPECT_EQ(photo->width(), width);
    EXPECT_EQ(photo->height(), height);
    EXPECT_EQ(photo->pixels()[0], 0xFFFFFFFFu);
    EXPECT_EQ(photo->pixels()[1], 0xFF000000u);
    EXPECT_EQ(photo->pixels()[static_cast<size_t>(width) * (height - 1)], 0xFF000000u);

    put32(22, 8193);
    put32(18, 4096);
    const PictureHeader tooMany =
        PictureHeader::read(reinterpret_cast<const unsigned char*>(bmp.data()), bmp.size(), "big.bmp");
    EXPECT_NE(tooMany.problem().find("a picture may hold at most 33554432"), std::string::npos)
        << tooMany.problem();
}
