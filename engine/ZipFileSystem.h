#ifndef QUORIN_ZIPFILESYSTEM_H
#define QUORIN_ZIPFILESYSTEM_H

#include "FileSystem.h"

#include <string>

// Reads the members of one zip archive, kept open for the object's life.
// Member names are matched without regard to the case of letters; '/' and
// '\' are different characters.
class ZipFileSystem : public FileSystem {
public:
    // A missing or unreadable archive still makes an object, whose every
    // open answers null.
    explicit ZipFileSystem(const std::string& archivePath);
    ~ZipFileSystem() override;
    // Null for a missing member, an archive that cannot be read, an inflate
    // error, a CRC-32 mismatch, a short read, or a stored size that cannot
    // be true (larger than maxMemberSize or than its compressed data allows).
    DataFile* open(const std::string& path) override;

    bool isOpen() const { return handle_ != nullptr; }
    const std::string& archivePath() const { return archivePath_; }

    static constexpr unsigned long maxMemberSize = 256UL * 1024 * 1024;

private:
    ZipFileSystem(const ZipFileSystem&) = delete;
    ZipFileSystem& operator=(const ZipFileSystem&) = delete;

    std::string archivePath_;
    void* handle_;   // minizip's unzFile
};

ZipFileSystem* createZipFileSystem(const std::string& archivePath);

#endif
