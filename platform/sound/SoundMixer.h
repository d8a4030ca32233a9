#ifndef QUORIN_SOUNDMIXER_H
#define QUORIN_SOUNDMIXER_H

#include "Fft.h"
#include "SoundTrack.h"

#include <memory>
#include <mutex>
#include <vector>

// The portable heart of the sound layer: owns every loaded track, mixes the
// playing ones into 16-bit stereo and keeps the last mixed samples for the
// spectrum. The output (sound card or nothing) pulls mix() from its own
// thread; every other call comes from the game's thread. mix() and
// spectrum() allocate nothing.
class SoundMixer {
public:
    explicit SoundMixer(int rate);
    ~SoundMixer();

    int rate() const { return rate_; }

    // Null when the bytes are no module / no stream. A stream reads its
    // bytes while it plays: they must outlive it.
    SoundTrack* loadModule(const void* data, long size, bool loop);
    SoundTrack* openStream(const void* data, long size);

    // Each is false (and does nothing) for a track this mixer does not own,
    // so a stale pointer is never followed.
    bool play(SoundTrack* track);
    bool stop(SoundTrack* track);
    bool release(SoundTrack* track);
    // Index of the track among the loaded ones, -1 when unknown.
    int indexOf(SoundTrack* track);

    // frames stereo frames, interleaved left/right.
    void mix(short* out, int frames);

    // Fft::kBands magnitudes of the last Fft::kSize mixed samples.
    void spectrum(float* bands);

private:
    int find(SoundTrack* track) const;
    SoundTrack* add(std::unique_ptr<SoundTrack> track);

    const int rate_;
    std::mutex lock_;
    std::vector<std::unique_ptr<SoundTrack>> tracks_;
    int accumulator_[SoundTrack::kChunk * 2];
    float recent_[Fft::kSize];  // ring of mono samples
    int recentNext_ = 0;
    float ordered_[Fft::kSize];
    Fft fft_;
};

#endif
