#include "SoundManager.h"

#include "DataFile.h"
#include "FileSystem.h"
#include "SoundHandle.h"

#include <cstdio>

namespace {
SoundManager* currentSoundManager = nullptr;
}

SoundManager::~SoundManager()
{
    if (currentSoundManager == this)
        currentSoundManager = nullptr;
}

void SoundManager::setInstance(SoundManager* manager)
{
    currentSoundManager = manager;
}

SoundManager* SoundManager::instance()
{
    return currentSoundManager;
}

SoundHandle* SoundManager::newHandle()
{
    SoundHandle* handle = new SoundHandle();
    handle->manager_ = this;
    return handle;
}

void SoundManager::untie(SoundHandle* handle)
{
    if (handle)
        handle->manager_ = nullptr;
}

void SoundManager::forget(SoundHandle*)
{
}

SoundHandle* loadSound(const DataFile* file)
{
    SoundManager* manager = SoundManager::instance();
    if (!file || !manager)
        return nullptr;
    return manager->load(file);
}

SoundHandle* loadSoundFile(const std::string& path)
{
    DataFile* file = openFile(path);
    if (!file) {
        std::fprintf(stderr, "sound: cannot read \"%s\"\n", path.c_str());
        return nullptr;
    }
    SoundHandle* handle = loadSound(file);
    delete file;
    return handle;
}

void playSound(SoundHandle* handle)
{
    SoundManager* manager = SoundManager::instance();
    if (handle && manager)
        manager->play(handle);
}

void stopSound(SoundHandle* handle)
{
    SoundManager* manager = SoundManager::instance();
    if (handle && manager)
        manager->stop(handle);
}
