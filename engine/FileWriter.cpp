#include "FileWriter.h"

#include "DataFile.h"

#include <cstdio>

FileWriter::~FileWriter()
{
}

DiskFileWriter::~DiskFileWriter()
{
}

void DiskFileWriter::write(const DataFile& file)
{
    std::FILE* out = std::fopen(file.path().c_str(), "wb");
    if (!out) {
        std::fprintf(stderr, "%s: cannot be written\n", file.path().c_str());
        return;
    }
    bool written = file.size() == 0 ||
                   std::fwrite(file.data(), static_cast<size_t>(file.size()), 1, out) == 1;
    if (std::fclose(out) != 0 || !written)
        std::fprintf(stderr, "%s: could not be written whole\n", file.path().c_str());
}

namespace {
// The one writer the engine keeps.
DiskFileWriter diskFileWriter;
}
