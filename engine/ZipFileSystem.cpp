#include "ZipFileSystem.h"

#include "DataFile.h"

#include <unzip.h>

#include <cstdio>
#include <vector>

namespace {

// minizip's value for comparing names without regard to case.
const int caseInsensitive = 2;

// Deflate cannot expand data by much more than this; a stored size beyond
// it is a lie, and allocating it would only waste memory.
const unsigned long maxDeflateRatio = 1040;

}

ZipFileSystem::ZipFileSystem(const std::string& archivePath)
    : archivePath_(archivePath), handle_(unzOpen(archivePath.c_str()))
{
    if (!handle_)
        std::fprintf(stderr, "%s: cannot be opened as a zip archive\n", archivePath.c_str());
}

ZipFileSystem::~ZipFileSystem()
{
    if (handle_)
        unzClose(static_cast<unzFile>(handle_));
}

DataFile* ZipFileSystem::open(const std::string& path)
{
    if (!handle_)
        return nullptr;
    unzFile zip = static_cast<unzFile>(handle_);
    if (unzLocateFile(zip, path.c_str(), caseInsensitive) != UNZ_OK)
        return nullptr;

    unz_file_info info;
    if (unzGetCurrentFileInfo(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) {
        std::fprintf(stderr, "%s: member %s has an unreadable header\n", archivePath_.c_str(),
                     path.c_str());
        return nullptr;
    }
    unsigned long size = info.uncompressed_size;
    unsigned long limit = info.compressed_size * maxDeflateRatio + 64;
    if (size > maxMemberSize || (info.compression_method == 0 && size != info.compressed_size) ||
        size > limit) {
        std::fprintf(stderr, "%s: member %s claims an impossible size of %lu bytes\n",
                     archivePath_.c_str(), path.c_str(), size);
        return nullptr;
    }
    if (unzOpenCurrentFile(zip) != UNZ_OK) {
        std::fprintf(stderr, "%s: member %s cannot be opened\n", archivePath_.c_str(),
                     path.c_str());
        return nullptr;
    }

    // A stored size smaller than the real content shows as a CRC mismatch
    // when closing; a larger one as a short read.
    std::vector<unsigned char> bytes(size + 1);
    int read = unzReadCurrentFile(zip, bytes.data(), static_cast<unsigned>(size));
    int closed = unzCloseCurrentFile(zip);

    if (read < 0 || static_cast<unsigned long>(read) != size || closed != UNZ_OK) {
        std::fprintf(stderr, "%s: member %s is damaged (%s)\n", archivePath_.c_str(),
                     path.c_str(), closed == UNZ_CRCERROR ? "CRC mismatch" : "read failed");
        return nullptr;
    }
    return new DataFile(path, bytes.data(), static_cast<int>(size));
}

ZipFileSystem* createZipFileSystem(const std::string& archivePath)
{
    return new ZipFileSystem(archivePath);
}
