#include "RgbPicture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <direct.h>
#else
#include <sys/stat.h>
#endif

namespace {

void makeFolders(const std::string& file)
{
    for (size_t i = 1; i < file.size(); ++i) {
        if (file[i] != '/' && file[i] != '\\')
            continue;
        const std::string folder = file.substr(0, i);
#ifdef _WIN32
        _mkdir(folder.c_str());
#else
        mkdir(folder.c_str(), 0777);
#endif
    }
}

template <typename Visit>
void eachPixel(const RgbPicture& picture, const RgbPicture::Region& region, Visit visit)
{
    for (int y = std::max(0, region.y0); y < std::min(picture.height, region.y1); ++y)
        for (int x = std::max(0, region.x0); x < std::min(picture.width, region.x1); ++x)
            visit(x, y, picture.at(x, y));
}

} // namespace

double RgbPicture::meanBlockDifference(const RgbPicture& other, const Region& region, int block) const
{
    if (width != other.width || height != other.height || empty() || block < 1)
        return 255.0;
    double sum = 0.0;
    long count = 0;
    for (int by = std::max(0, region.y0); by < std::min(height, region.y1); by += block) {
        for (int bx = std::max(0, region.x0); bx < std::min(width, region.x1); bx += block) {
            const Region cell = {"", bx, by, std::min(bx + block, region.x1), std::min(by + block, region.y1)};
            long mine[3] = {0, 0, 0}, theirs[3] = {0, 0, 0};
            long pixels = 0;
            eachPixel(*this, cell, [&](int x, int y, const uint8_t* p) {
                const uint8_t* q = other.at(x, y);
                for (int c = 0; c < 3; ++c) {
                    mine[c] += p[c];
                    theirs[c] += q[c];
                }
                ++pixels;
            });
            for (int c = 0; c < 3; ++c)
                sum += std::abs(mine[c] - theirs[c]) / static_cast<double>(pixels);
            count += 3;
        }
    }
    return count ? sum / count : 255.0;
}

double RgbPicture::brightnessDeviation(const Region& region) const
{
    double sum = 0.0, squares = 0.0;
    long count = 0;
    eachPixel(*this, region, [&](int, int, const uint8_t* p) {
        const double v = (p[0] + p[1] + p[2]) / 3.0;
        sum += v;
        squares += v * v;
        ++count;
    });
    if (!count)
        return 0.0;
    const double mean = sum / count;
    return std::sqrt(std::max(0.0, squares / count - mean * mean));
}

double RgbPicture::whiteShare(const Region& region) const
{
    long white = 0, count = 0;
    eachPixel(*this, region, [&](int, int, const uint8_t* p) {
        white += p[0] > 200 && p[1] > 200 && p[2] > 200;
        ++count;
    });
    return count ? double(white) / count : 0.0;
}

bool RgbPicture::savePpm(const std::string& file, const std::string& comment) const
{
    makeFolders(file);
    FILE* out = std::fopen(file.c_str(), "wb");
    if (!out)
        return false;
    std::fprintf(out, "P6\n# %s\n%d %d\n255\n", comment.c_str(), width, height);
    const bool written = std::fwrite(rgb.data(), 1, rgb.size(), out) == rgb.size();
    return std::fclose(out) == 0 && written;
}

bool RgbPicture::loadPpm(const std::string& file, std::string* comment)
{
    *this = RgbPicture();
    FILE* in = std::fopen(file.c_str(), "rb");
    if (!in)
        return false;
    char magic[3] = {};
    bool ok = std::fread(magic, 1, 2, in) == 2 && std::strcmp(magic, "P6") == 0;
    // Header fields, each after white space and comment lines.
    int fields[3] = {0, 0, 0};
    for (int i = 0; ok && i < 3; ++i) {
        int c = std::fgetc(in);
        while (c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '#') {
            if (c == '#') {
                std::string line;
                while ((c = std::fgetc(in)) != EOF && c != '\n')
                    line.push_back(static_cast<char>(c));
                if (comment && comment->empty())
                    *comment = line.erase(0, std::min(line.size(), line.find_first_not_of(' ')));
            }
            c = std::fgetc(in);
        }
        std::ungetc(c, in);
        ok = std::fscanf(in, "%d", &fields[i]) == 1;
    }
    ok = ok && std::fgetc(in) != EOF && fields[0] > 0 && fields[1] > 0 && fields[0] <= 16384 &&
         fields[1] <= 16384 && fields[2] == 255;
    if (ok) {
        rgb.resize(static_cast<size_t>(fields[0]) * fields[1] * 3);
        ok = std::fread(rgb.data(), 1, rgb.size(), in) == rgb.size();
    }
    std::fclose(in);
    if (!ok) {
        rgb.clear();
        return false;
    }
    width = fields[0];
    height = fields[1];
    return true;
}
