// Zip archives: the input is written to a file (the archive reader opens a
// path; the file goes afterwards), then every member its directory lists
// (as ZipDirectory reads it from the same bytes) is read through
// ZipFileSystem, also under a name in other letter cases. A member asked
// for by a name the archive holds is either read or reported once, never
// both and never neither; a member that is read has the CRC-32 and the size
// its entry declares and is never larger than the reader's limit.
#include "DataFile.h"
#include "ZipDirectory.h"
#include "ZipFileSystem.h"

#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

const std::string& archivePath()
{
    static const std::string path = [] {
        const char* dir = std::getenv("TMPDIR");
        return std::string(dir && *dir ? dir : "/tmp") + "/quorin-zip-fuzz-" +
               std::to_string(static_cast<long>(getpid())) + ".zip";
    }();
    return path;
}

// Up to 64 entries of the directory of the bytes.
std::vector<ZipEntry> members(const uint8_t* data, size_t size)
{
    ZipDirectory directory;
    directory.read(size, [&](unsigned long long offset, void* into, size_t length) {
        if (offset > size || length > size - offset)
            return false;
        std::memcpy(into, data + offset, length);
        return true;
    });
    std::vector<ZipEntry> entries = directory.entries();
    if (entries.size() > 64)
        entries.resize(64);
    return entries;
}

int reports = 0;

void countReport(const std::string&)
{
    ++reports;
}

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string& path = archivePath();
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out)
        return 0;
    std::fwrite(data, 1, size, out);
    std::fclose(out);

    std::unique_ptr<ZipFileSystem> archive(createZipFileSystem(path));
    archive->setReport(countReport);
    std::vector<std::string> seen;   // names in lower case
    const std::vector<ZipEntry> entries = members(data, size);
    if (!entries.empty() && !archive->isOpen())
        std::abort();   // the same bytes read otherwise
    for (const ZipEntry& member : entries) {
        std::string lower = member.name, upper = member.name;
        for (size_t i = 0; i < lower.size(); ++i) {
            char c = lower[i];
            lower[i] = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
            upper[i] = c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
        }
        // An earlier entry of the same name in other letter cases is the one
        // found: this entry's size and CRC-32 say nothing about it.
        bool first = true;
        for (const std::string& name : seen)
            first = first && name != lower;
        seen.push_back(lower);

        reports = 0;
        std::unique_ptr<DataFile> file(archive->open(member.name));
        if (file ? reports != 0 : reports != 1)
            std::abort();
        if (file) {
            unsigned long long size = static_cast<unsigned long long>(file->size());
            if (size > ZipFileSystem::maxMemberSize)
                std::abort();
            uLong crc = crc32(0, file->data(), static_cast<uInt>(size));
            if (first && (size != member.size || crc != member.crc))
                std::abort();
        }
        std::unique_ptr<DataFile> again(archive->open(upper));
    }
    std::unique_ptr<DataFile> missing(archive->open("no/such/member"));
    if (missing)
        std::abort();
    archive.reset();
    std::remove(path.c_str());
    return 0;
}
