#include "DataFile.h"
#include "FileSystem.h"
#include "Image.h"
#include "MemoryFileSystem.h"
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
