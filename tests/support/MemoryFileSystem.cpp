#include "MemoryFileSystem.h"

#include "DataFile.h"

MemoryFileSystem::MemoryFileSystem()
    : opens_(0)
{
}

MemoryFileSystem::~MemoryFileSystem()
{
}

DataFile* MemoryFileSystem::open(const std::string& path)
{
    ++opens_;
    ++opensByPath_[path];
    auto it = files_.find(path);
    if (it == files_.end())
        return nullptr;
    return new DataFile(path, it->second.data(), static_cast<int>(it->second.size()));
}

void MemoryFileSystem::add(const std::string& path, const std::string& bytes)
{
    files_[path] = bytes;
}

void MemoryFileSystem::add(const std::string& path, const void* bytes, size_t size)
{
    files_[path] = std::string(static_cast<const char*>(bytes), size);
}

void MemoryFileSystem::remove(const std::string& path)
{
    files_.erase(path);
}

bool MemoryFileSystem::contains(const std::string& path) const
{
    return files_.count(path) != 0;
}

int MemoryFileSystem::opens(const std::string& path) const
{
    auto it = opensByPath_.find(path);
    return it == opensByPath_.end() ? 0 : it->second;
}

void MemoryFileSystem::resetCounts()
{
    opens_ = 0;
    opensByPath_.clear();
}
