#include "FileSystem.h"

#include "DiskFileSystem.h"

namespace {
FileSystem* currentFileSystem = nullptr;
}

FileSystem::~FileSystem()
{
    if (currentFileSystem == this)
        currentFileSystem = nullptr;
}

FileSystem* FileSystem::instance()
{
    return currentFileSystem ? currentFileSystem : &diskFileSystem();
}

void FileSystem::setInstance(FileSystem* fileSystem)
{
    currentFileSystem = fileSystem;
}

DataFile* openFile(const std::string& path)
{
    return FileSystem::instance()->open(path);
}
