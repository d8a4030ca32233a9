#include "TestFiles.h"

#include <zip.h>
#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>

std::string makeTestDirectory(const std::string& name)
{
    // Builds may run their suites side by side: keep each build's files apart.
    size_t build = std::hash<std::string>()(std::filesystem::current_path().string());
    std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                ("quorin-engine-tests-" + std::to_string(build) + "-" + name);
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir.string();
}

std::string readBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void writeBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string makeZip(const std::string& path, const std::vector<ZipMember>& members)
{
    zipFile zip = zipOpen(path.c_str(), APPEND_STATUS_CREATE);
    if (!zip)
        throw std::runtime_error("cannot create " + path);
    for (const ZipMember& member : members) {
        zip_fileinfo info = {};
        zipOpenNewFileInZip(zip, member.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                            member.deflate ? Z_DEFLATED : 0, member.deflate ? 9 : 0);
        zipWriteInFileInZip(zip, member.bytes.data(), static_cast<unsigned>(member.bytes.size()));
        zipCloseFileInZip(zip);
    }
    zipClose(zip, nullptr);
    return readBytes(path);
}

namespace {

void put32(std::string& out, uint32_t v)
{
    out += static_cast<char>(v >> 24);
    out += static_cast<char>(v >> 16);
    out += static_cast<char>(v >> 8);
    out += static_cast<char>(v);
}

void chunk(std::string& out, const char* type, const std::string& data)
{
    put32(out, static_cast<uint32_t>(data.size()));
    std::string body = std::string(type, 4) + data;
    out += body;
    put32(out, static_cast<uint32_t>(
                   crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()))));
}

}

std::string makePng(int width, int height, const std::vector<uint32_t>& pixels)
{
    std::string raw;
    for (int y = 0; y < height; ++y) {
        raw += '\0';   // no filter
        for (int x = 0; x < width; ++x) {
            uint32_t p = pixels[static_cast<size_t>(y) * width + x];
            raw += static_cast<char>(p >> 16);
            raw += static_cast<char>(p >> 8);
            raw += static_cast<char>(p);
            raw += static_cast<char>(p >> 24);
        }
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::string packed(packedSize, '\0');
    compress(reinterpret_cast<Bytef*>(&packed[0]), &packedSize,
             reinterpret_cast<const Bytef*>(raw.data()), static_cast<uLong>(raw.size()));
    packed.resize(packedSize);

    std::string png("\x89PNG\r\n\x1a\n", 8);
    std::string header;
    put32(header, static_cast<uint32_t>(width));
    put32(header, static_cast<uint32_t>(height));
    header += std::string("\x08\x06\x00\x00\x00", 5);   // 8 bits, RGBA
    chunk(png, "IHDR", header);
    chunk(png, "IDAT", packed);
    chunk(png, "IEND", "");
    return png;
}

uint32_t read32(const std::string& bytes, size_t at)
{
    return static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1]) << 8 |
           static_cast<uint8_t>(bytes[at + 2]) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 3])) << 24;
}

void write32(std::string& bytes, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<char>(v >> (8 * i));
}
