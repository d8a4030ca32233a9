#ifndef QUORIN_MODULETRACK_H
#define QUORIN_MODULETRACK_H

#include "SoundTrack.h"

#include <memory>

// A tracker music module (MOD, S3M, XM, IT, ...) rendered by libxmp.
class ModuleTrack : public SoundTrack {
public:
    // Null when the bytes are not a module libxmp knows. The bytes are parsed
    // here and may be released by the caller right after.
    static std::unique_ptr<ModuleTrack> load(const void* data, long size, int rate, bool loop);
    ~ModuleTrack() override;

    void start() override;
    void stop() override;
    void mixInto(int* mix, int frames) override;

private:
    ModuleTrack(void* context, int rate, bool loop);

    void* context_;  // xmp_context
    int rate_;
    bool loop_;
    bool started_ = false;
    short buffer_[kChunk * 2];
};

#endif
