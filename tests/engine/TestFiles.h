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

// Little-endian 32-bit fields of a file's bytes (zip headers, say).
uint32_t read32(const std::string& bytes, size_t at);
void write32(std::string& bytes, size_t at, uint32_t v);

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
