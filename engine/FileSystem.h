#ifndef QUORIN_FILESYSTEM_H
#define QUORIN_FILESYSTEM_H

#include <string>

class DataFile;

// A source of DataFiles. One is current for the process; at start it is the
// plain-disk file system.
class FileSystem {
public:
    // A file system destroyed while current hands the place back to the
    // plain-disk one.
    virtual ~FileSystem();
    // A new DataFile owned by the caller, or null when the file cannot be
    // read.
    virtual DataFile* open(const std::string& path) = 0;

    static FileSystem* instance();
    // Takes no ownership; null reinstates the plain-disk file system.
    static void setInstance(FileSystem* fileSystem);
};

// FileSystem::instance()->open(path).
DataFile* openFile(const std::string& path);

#endif
