#ifndef QUORIN_MEMORYFILESYSTEM_H
#define QUORIN_MEMORYFILESYSTEM_H

#include "FileSystem.h"

#include <map>
#include <string>

// A FileSystem over an in-memory map of path -> bytes, looked up by exact
// path. It counts the opens, so tests can check that content loads once.
class MemoryFileSystem : public FileSystem {
public:
    MemoryFileSystem();
    ~MemoryFileSystem() override;

    DataFile* open(const std::string& path) override;

    void add(const std::string& path, const std::string& bytes);
    void add(const std::string& path, const void* bytes, size_t size);
    void remove(const std::string& path);
    bool contains(const std::string& path) const;

    // Every open, found or not.
    int opens() const { return opens_; }
    int opens(const std::string& path) const;
    void resetCounts();

private:
    std::map<std::string, std::string> files_;
    std::map<std::string, int> opensByPath_;
    int opens_;
};

#endif
