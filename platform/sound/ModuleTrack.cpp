#include "ModuleTrack.h"

#include <xmp.h>

std::unique_ptr<ModuleTrack> ModuleTrack::load(const void* data, long size, int rate, bool loop) {
    if (!data || size <= 0) return nullptr;
    xmp_context context = xmp_create_context();
    if (!context) return nullptr;
    if (xmp_load_module_from_memory(context, data, size) != 0) {
        xmp_free_context(context);
        return nullptr;
    }
    return std::unique_ptr<ModuleTrack>(new ModuleTrack(context, rate, loop));
}

ModuleTrack::ModuleTrack(void* context, int rate, bool loop)
    : context_(context), rate_(rate), loop_(loop) {}

ModuleTrack::~ModuleTrack() {
    xmp_context context = static_cast<xmp_context>(context_);
    if (started_) xmp_end_player(context);
    xmp_release_module(context);
    xmp_free_context(context);
}

void ModuleTrack::start() {
    xmp_context context = static_cast<xmp_context>(context_);
    if (started_) xmp_end_player(context);
    started_ = xmp_start_player(context, rate_, 0) == 0;
    playing_ = started_;
}

void ModuleTrack::stop() {
    if (started_) xmp_end_player(static_cast<xmp_context>(context_));
    started_ = false;
    playing_ = false;
}

void ModuleTrack::mixInto(int* mix, int frames) {
    if (!playing_ || frames <= 0) return;
    if (frames > kChunk) frames = kChunk;
    // libxmp counts loops: 1 ends the song where it ends or jumps back,
    // 0 plays it for ever.
    const int loops = loop_ ? 0 : 1;
    if (xmp_play_buffer(static_cast<xmp_context>(context_), buffer_,
                        frames * 2 * static_cast<int>(sizeof(short)), loops) != 0) {
        stop();
        return;
    }
    for (int i = 0; i < frames * 2; ++i) mix[i] += buffer_[i];
}
