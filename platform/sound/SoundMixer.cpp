#include "SoundMixer.h"

#include "ModuleTrack.h"
#include "StreamTrack.h"

#include <cstring>

SoundMixer::SoundMixer(int rate) : rate_(rate > 0 ? rate : 44100) {
    std::memset(recent_, 0, sizeof recent_);
    tracks_.reserve(64);
}

SoundMixer::~SoundMixer() = default;

SoundTrack* SoundMixer::add(std::unique_ptr<SoundTrack> track) {
    if (!track) return nullptr;
    std::lock_guard<std::mutex> hold(lock_);
    tracks_.push_back(std::move(track));
    return tracks_.back().get();
}

SoundTrack* SoundMixer::loadModule(const void* data, long size, bool loop) {
    return add(ModuleTrack::load(data, size, rate_, loop));
}

SoundTrack* SoundMixer::openStream(const void* data, long size) {
    return add(StreamTrack::open(data, size, rate_));
}

int SoundMixer::find(SoundTrack* track) const {
    for (size_t i = 0; i < tracks_.size(); ++i) {
        if (tracks_[i].get() == track) return static_cast<int>(i);
    }
    return -1;
}

int SoundMixer::indexOf(SoundTrack* track) {
    std::lock_guard<std::mutex> hold(lock_);
    return track ? find(track) : -1;
}

bool SoundMixer::play(SoundTrack* track) {
    std::lock_guard<std::mutex> hold(lock_);
    if (!track || find(track) < 0) return false;
    track->start();
    return true;
}

bool SoundMixer::stop(SoundTrack* track) {
    std::lock_guard<std::mutex> hold(lock_);
    if (!track || find(track) < 0) return false;
    track->stop();
    return true;
}

bool SoundMixer::release(SoundTrack* track) {
    std::unique_ptr<SoundTrack> gone;
    {
        std::lock_guard<std::mutex> hold(lock_);
        int i = track ? find(track) : -1;
        if (i < 0) return false;
        gone = std::move(tracks_[i]);
        tracks_.erase(tracks_.begin() + i);
    }
    return true;  // the track is destroyed here, outside the lock
}

void SoundMixer::mix(short* out, int frames) {
    std::lock_guard<std::mutex> hold(lock_);
    while (frames > 0) {
        const int n = frames < SoundTrack::kChunk ? frames : SoundTrack::kChunk;
        std::memset(accumulator_, 0, sizeof(int) * n * 2);
        for (auto& track : tracks_) {
            if (track->playing()) track->mixInto(accumulator_, n);
        }
        for (int i = 0; i < n; ++i) {
            int left = accumulator_[i * 2];
            int right = accumulator_[i * 2 + 1];
            left = left > 32767 ? 32767 : left < -32768 ? -32768 : left;
            right = right > 32767 ? 32767 : right < -32768 ? -32768 : right;
            out[i * 2] = static_cast<short>(left);
            out[i * 2 + 1] = static_cast<short>(right);
            recent_[recentNext_] = (left + right) * (0.5f / 32768.0f);
            recentNext_ = (recentNext_ + 1) % Fft::kSize;
        }
        out += n * 2;
        frames -= n;
    }
}

void SoundMixer::spectrum(float* bands) {
    {
        std::lock_guard<std::mutex> hold(lock_);
        const int tail = Fft::kSize - recentNext_;
        std::memcpy(ordered_, recent_ + recentNext_, sizeof(float) * tail);
        std::memcpy(ordered_ + tail, recent_, sizeof(float) * recentNext_);
    }
    fft_.analyse(ordered_, bands);
}
