#ifndef QUORIN_TESTFILES_H
#define QUORIN_TESTFILES_H

#include <cstdint>
#include <string>
#include <vector>

// Small files the engine tests build themselves.

// A fresh, empty directory for this test, removed by nobody (it lives under
// the system's temporary directory).
std::string makeTestDirectory(const std::string& name);

std::string readBytes(const std::string& path);
void writeBytes(const std::string& path, const std::string& bytes);

struct ZipMember {
    std::string name;
    std::string bytes;
    bool deflate;
};

// Writes a zip archive with minizip's writer and returns its bytes.
std::string makeZip(const std::string& path, const std::vector<ZipMember>& members);

// A PNG of 8-bit RGBA pixels, rows top first, each pixel 0xAARRGGBB.
std::string makePng(int width, int height, const std::vector<uint32_t>& pixels);

#endif
