// Zip archives: the input is written to a file (the archive reader opens a
// path; the file goes afterwards), then every member it lists is read
// through ZipFileSystem, also under a name in other letter cases. A member
// that is read has the size its entry declares and is never larger than the
// reader's limit.
#include "DataFile.h"
#include "ZipFileSystem.h"

#include <unistd.h>
#include <unzip.h>

#include <cstdio>
#include <cstdlib>
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

// Up to 64 member names with their declared sizes, straight from minizip.
std::vector<std::pair<std::string, unsigned long>> members(const std::string& path)
{
    std::vector<std::pair<std::string, unsigned long>> names;
    unzFile zip = unzOpen(path.c_str());
    if (!zip)
        return names;
    for (int status = unzGoToFirstFile(zip); status == UNZ_OK && names.size() < 64;
         status = unzGoToNextFile(zip)) {
        char name[512];
        unz_file_info info;
        if (unzGetCurrentFileInfo(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK)
            break;
        names.emplace_back(name, info.uncompressed_size);
    }
    unzClose(zip);
    return names;
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
    for (const auto& member : members(path)) {
        std::unique_ptr<DataFile> file(archive->open(member.first));
        if (file) {
            if (static_cast<unsigned long>(file->size()) != member.second ||
                member.second > ZipFileSystem::maxMemberSize)
                std::abort();
        }
        std::string upper = member.first;
        for (char& c : upper)
            if (c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 32);
        std::unique_ptr<DataFile> again(archive->open(upper));
    }
    std::unique_ptr<DataFile> missing(archive->open("no/such/member"));
    if (missing)
        std::abort();
    archive.reset();
    std::remove(path.c_str());
    return 0;
}
