#ifndef QUORIN_DISKFILESYSTEM_H
#define QUORIN_DISKFILESYSTEM_H

#include "FileSystem.h"

// Reads plain files, by exactly the path given.
class DiskFileSystem : public FileSystem {
public:
    ~DiskFileSystem() override;
    // Null for a file that cannot be opened or read whole, for a directory
    // and for a file larger than maxFileSize.
    DataFile* open(const std::string& path) override;

    static constexpr long maxFileSize = 512L * 1024 * 1024;
};

// The process-wide plain-disk file system, current until another is set.
DiskFileSystem& diskFileSystem();

#endif
