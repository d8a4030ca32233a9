#include "DiskFileSystem.h"

#include "DataFile.h"

#include <cstdio>
#include <vector>

DiskFileSystem::~DiskFileSystem()
{
}

DataFile* DiskFileSystem::open(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return nullptr;

    DataFile* result = nullptr;
    long size = -1;
    if (std::fseek(file, 0, SEEK_END) == 0)
        size = std::ftell(file);
    if (size < 0 || size > maxFileSize || std::fseek(file, 0, SEEK_SET) != 0) {
        // A directory, a device, or a file too large to be content.
        std::fprintf(stderr, "%s: cannot be read as a file\n", path.c_str());
    } else {
        std::vector<unsigned char> bytes(static_cast<size_t>(size));
        size_t read = size > 0 ? std::fread(bytes.data(), 1, bytes.size(), file) : 0;
        // One more byte must not be there, and a directory fails its read.
        bool complete = read == bytes.size() && std::fgetc(file) == EOF && !std::ferror(file);
        if (complete)
            result = new DataFile(path, bytes.data(), static_cast<int>(size));
        else
            std::fprintf(stderr, "%s: could not be read whole\n", path.c_str());
    }
    std::fclose(file);
    return result;
}

DiskFileSystem& diskFileSystem()
{
    static DiskFileSystem fileSystem;
    return fileSystem;
}
