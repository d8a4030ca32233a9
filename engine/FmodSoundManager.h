#ifndef QUORIN_FMODSOUNDMANAGER_H
#define QUORIN_FMODSOUNDMANAGER_H

#include "FmodCalls.h"
#include "SoundManager.h"

#include <memory>
#include <vector>

// The sound manager over the sound layer: music modules are tried first,
// anything else is opened as a stream over the manager's own copy of the
// bytes. Every sound is freed when its handle is deleted, and whatever is
// left when the manager goes.
class FmodSoundManager : public SoundManager {
public:
    FmodSoundManager(int mixRate, bool spectrumOn, const FmodCalls& calls = FmodCalls::layer());
    ~FmodSoundManager() override;

    void enableSpectrum(bool enabled) override;
    void spectrum(float* values, int count) override;
    SoundHandle* load(const DataFile* file) override;
    void play(SoundHandle* handle) override;
    void stop(SoundHandle* handle) override;

    // Sounds held (one per handle still alive).
    int recordCount() const { return static_cast<int>(records_.size()); }

private:
    struct SoundRecord {
        SoundHandle* handle;
        FMUSIC_MODULE* module;   // null for a stream
        FSOUND_STREAM* stream;   // null for a module, and once stopped
        std::unique_ptr<unsigned char[]> streamData;  // what the stream reads
    };

    void forget(SoundHandle* handle) override;
    SoundRecord* find(SoundHandle* handle);
    void release(SoundRecord& record);

    FmodCalls calls_;
    std::vector<SoundRecord> records_;
};

// Starts the sound layer at mixRate with the spectrum on or off.
SoundManager* createFmodSoundManager(int mixRate, bool spectrumOn);

#endif
