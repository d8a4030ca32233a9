#ifndef QUORIN_FUZZSUPPORT_H
#define QUORIN_FUZZSUPPORT_H

#include "FileSystem.h"
#include "MemoryFileSystem.h"
#include "RecordingDevice.h"

#include <cstdint>
#include <cstdlib>
#include <string>

// What the engine's fuzz targets share: one recording device (not
// recording, render states ready) made current, and one in-memory file
// system installed, both for the whole process. Nothing is read from disk.
inline RecordingDevice& fuzzDevice()
{
    static RecordingDevice* device = [] {
        RecordingDevice* d = new RecordingDevice();
        d->setRecording(false);
        d->resetRenderStates();
        return d;
    }();
    return *device;
}

inline MemoryFileSystem& fuzzFiles()
{
    static MemoryFileSystem* files = [] {
        MemoryFileSystem* f = new MemoryFileSystem();
        FileSystem::setInstance(f);
        return f;
    }();
    return *files;
}

// A failed promise of a loader: abort, so libFuzzer keeps the input.
inline void fuzzCheck(bool condition)
{
    if (!condition)
        std::abort();
}

#endif
