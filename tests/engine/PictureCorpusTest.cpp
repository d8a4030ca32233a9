// Real pictures through the engine's decoder: files of public corpora (the
// BMP suite and Pillow's test pictures, PngSuite, libjpeg-turbo's test
// images) and pictures written by ImageMagick, Pillow and cjpeg, gathered
// with their licences in fixtures/corpus by its make_corpus.py. Its
// manifest gives for each file either the reference decode (Pillow's, as
// 8-bit RGB rows in a PNG read here with zlib alone) the engine must match,
// exactly or, for JPEG, within a few levels; or the reason it must refuse
// the file with.
#include "DataFile.h"
#include "HostFiles.h"
#include "Image.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string corpus = QUORIN_PICTURE_CORPUS;

struct CorpusFile {
    std::string path;
    bool refused = false;
    std::string reason;        // when refused
    int width = 0, height = 0;
    std::string reference;     // references/<name>.png
    int tolerance = 0;         // largest difference a channel may have
};

std::vector<CorpusFile> readManifest()
{
    std::vector<CorpusFile> files;
    std::istringstream lines(readHostFile(corpus + "/manifest.txt"));
    std::string line;
    while (std::getline(lines, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream words(line);
        CorpusFile file;
        std::string outcome;
        words >> file.path >> outcome;
        if (outcome == "refused") {
            file.refused = true;
            std::getline(words >> std::ws, file.reason);
        } else {
            file.width = std::atoi(outcome.c_str());
            file.height = std::atoi(outcome.c_str() + outcome.find('x') + 1);
            std::string within;
            words >> file.reference >> within >> file.tolerance;
        }
        files.push_back(file);
    }
    return files;
}

uint32_t bigEndian32(const unsigned char* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

// A reference: an 8-bit RGB PNG, not interlaced, as Pillow writes it.
struct Rgb {
    int width = 0, height = 0;
    std::vector<unsigned char> bytes;   // rows top first, 3 bytes a pixel
};

Rgb readReference(const std::string& name)
{
    const std::string png = readHostFile(corpus + "/references/" + name + ".png");
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(png.data());
    Rgb rgb;
    std::string packed;
    for (size_t at = 8; at + 12 <= png.size();) {
        const uint32_t length = bigEndian32(bytes + at);
        const std::string type = png.substr(at + 4, 4);
        if (type == "IHDR") {
            rgb.width = static_cast<int>(bigEndian32(bytes + at + 8));
            rgb.height = static_cast<int>(bigEndian32(bytes + at + 12));
            if (bytes[at + 16] != 8 || bytes[at + 17] != 2 || bytes[at + 20] != 0)
                return Rgb();
        } else if (type == "IDAT") {
            packed += png.substr(at + 8, length);
        }
        at += 12 + length;
    }
    const size_t stride = 3 * static_cast<size_t>(rgb.width);
    std::vector<unsigned char> raw((stride + 1) * rgb.height);
    uLongf rawSize = static_cast<uLongf>(raw.size());
    if (rgb.width <= 0 ||
        uncompress(raw.data(), &rawSize, reinterpret_cast<const Bytef*>(packed.data()),
                   static_cast<uLong>(packed.size())) != Z_OK ||
        rawSize != raw.size())
        return Rgb();
    rgb.bytes.assign(stride * rgb.height, 0);
    for (int y = 0; y < rgb.height; ++y) {
        const unsigned char filter = raw[y * (stride + 1)];
        const unsigned char* in = &raw[y * (stride + 1) + 1];
        unsigned char* out = &rgb.bytes[y * stride];
        const unsigned char* above = y > 0 ? out - stride : nullptr;
        for (size_t i = 0; i < stride; ++i) {
            const int a = i >= 3 ? out[i - 3] : 0, b = above ? above[i] : 0,
                      c = above && i >= 3 ? above[i - 3] : 0;
            int predicted = 0;
            switch (filter) {
            case 1: predicted = a; break;
            case 2: predicted = b; break;
            case 3: predicted = (a + b) / 2; break;
            case 4: {
                const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
                predicted = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
                break;
            }
            }
            out[i] = static_cast<unsigned char>(in[i] + predicted);
        }
    }
    return rgb;
}

DataFile corpusFile(const CorpusFile& file)
{
    const std::string bytes = readHostFile(corpus + "/" + file.path);
    return DataFile(file.path, bytes.data(), static_cast<int>(bytes.size()));
}

}

TEST(PictureCorpus, EveryReadableFileGivesTheReferencePixels)
{
    int exact = 0, close = 0;
    for (const CorpusFile& file : readManifest()) {
        if (file.refused)
            continue;
        SCOPED_TRACE(file.path);
        const DataFile data = corpusFile(file);
        ASSERT_GT(data.size(), 0);
        const Rgb reference = readReference(file.reference);
        ASSERT_EQ(reference.width, file.width);
        ASSERT_EQ(reference.height, file.height);
        std::unique_ptr<Image> image(loadImage(data, true));
        ASSERT_NE(image, nullptr);
        ASSERT_EQ(image->width(), file.width);
        ASSERT_EQ(image->height(), file.height);
        int worst = 0, wrongPixels = 0, firstWrong = -1;
        for (int i = 0; i < file.width * file.height; ++i) {
            const uint32_t pixel = image->pixels()[i];
            const unsigned char* expected = &reference.bytes[3 * static_cast<size_t>(i)];
            const int got[3] = {int(pixel >> 16 & 255), int(pixel >> 8 & 255), int(pixel & 255)};
            int difference = 0;
            for (int c = 0; c < 3; ++c)
                difference = std::max(difference, std::abs(got[c] - expected[c]));
            if (difference > file.tolerance && wrongPixels++ == 0)
                firstWrong = i;
            worst = std::max(worst, difference);
            ASSERT_EQ(pixel >> 24, 255u);
        }
        EXPECT_EQ(wrongPixels, 0) << "first at x " << firstWrong % file.width << ", y "
                                  << firstWrong / file.width << "; largest difference " << worst;
        (file.tolerance == 0 ? exact : close) += 1;
    }
    std::printf("%d files read exactly, %d within their tolerance\n", exact, close);
    EXPECT_GT(exact, 100);
}

TEST(PictureCorpus, EveryOtherFileIsRefusedByNameWithTheReason)
{
    int refused = 0;
    for (const CorpusFile& file : readManifest()) {
        if (!file.refused)
            continue;
        SCOPED_TRACE(file.path);
        const DataFile data = corpusFile(file);
        ASSERT_GT(data.size(), 0);
        testing::internal::CaptureStderr();
        std::unique_ptr<Image> image(loadImage(data, true));
        const std::string message = testing::internal::GetCapturedStderr();
        EXPECT_EQ(image, nullptr);
        EXPECT_EQ(message.find("image " + file.path + ": "), 0u) << message;
        EXPECT_NE(message.find(file.reason), std::string::npos) << message;
        std::printf("%s", message.c_str());
        ++refused;
    }
    std::printf("%d files refused\n", refused);
    EXPECT_GT(refused, 10);
}
