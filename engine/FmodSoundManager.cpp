#include "FmodSoundManager.h"

#include "DataFile.h"
#include "SoundHandle.h"

#include <cstdio>
#include <cstring>

namespace {
const int kMaxChannels = 32;
const int kSpectrumBands = 512;
}

SoundManager* createFmodSoundManager(int mixRate, bool spectrumOn)
{
    return new FmodSoundManager(mixRate, spectrumOn);
}

FmodSoundManager::FmodSoundManager(int mixRate, bool spectrumOn, const FmodCalls& calls)
    : calls_(calls)
{
    calls_.init(mixRate, kMaxChannels, 0);
    calls_.setActive(calls_.fftUnit(), spectrumOn ? 1 : 0);
}

FmodSoundManager::~FmodSoundManager()
{
    for (SoundRecord& record : records_) {
        release(record);
        untie(record.handle);
    }
    records_.clear();
    calls_.close();
}

void FmodSoundManager::enableSpectrum(bool enabled)
{
    calls_.setActive(calls_.fftUnit(), enabled ? 1 : 0);
}

void FmodSoundManager::spectrum(float* values, int count)
{
    if (!values || count <= 0)
        return;
    const float* bands = calls_.getSpectrum();
    if (!bands)
        return;
    const float step = static_cast<float>(kSpectrumBands) / static_cast<float>(count);
    for (int i = 0; i < count; ++i) {
        int k = static_cast<int>(static_cast<float>(i) * step);
        if (k >= kSpectrumBands)
            k = kSpectrumBands - 1;
        values[i] = bands[k] > 1.0f ? 1.0f : bands[k];
    }
}

SoundHandle* FmodSoundManager::load(const DataFile* file)
{
    if (!file)
        return nullptr;
    const char* bytes = reinterpret_cast<const char*>(file->data());
    const int size = file->size();

    SoundRecord record{nullptr, nullptr, nullptr, nullptr};
    record.module = calls_.loadSong(bytes, 0, size, FSOUND_LOADMEMORY | FSOUND_LOOP_OFF,
                                    nullptr, 0);
    if (!record.module && size > 0) {
        // A stream reads while it plays, so it gets bytes of its own that
        // outlive the DataFile.
        record.streamData.reset(new unsigned char[size]);
        std::memcpy(record.streamData.get(), file->data(), size);
        record.stream = calls_.openStream(reinterpret_cast<const char*>(record.streamData.get()),
                                          FSOUND_LOADMEMORY, 0, size);
    }
    if (!record.module && !record.stream) {
        std::fprintf(stderr, "sound: \"%s\" is neither a music module nor a sound stream\n",
                     file->path().c_str());
        return nullptr;
    }
    record.handle = newHandle();
    records_.push_back(std::move(record));
    return records_.back().handle;
}

FmodSoundManager::SoundRecord* FmodSoundManager::find(SoundHandle* handle)
{
    if (!handle)
        return nullptr;
    for (SoundRecord& record : records_)
        if (record.handle == handle)
            return &record;
    return nullptr;
}

void FmodSoundManager::play(SoundHandle* handle)
{
    SoundRecord* record = find(handle);
    if (!record)
        return;
    if (record->module)
        calls_.playSong(record->module);
    else if (record->stream)
        calls_.playStream(FSOUND_FREE, record->stream);
}

void FmodSoundManager::stop(SoundHandle* handle)
{
    SoundRecord* record = find(handle);
    if (!record)
        return;
    if (record->module) {
        calls_.stopSong(record->module);
    } else if (record->stream) {
        // A stopped stream is closed for good; the record stays and later
        // plays and stops of its handle do nothing.
        calls_.closeStream(record->stream);
        record->stream = nullptr;
        record->streamData.reset();
    }
}

void FmodSoundManager::release(SoundRecord& record)
{
    if (record.module) {
        calls_.freeSong(record.module);
        record.module = nullptr;
    }
    if (record.stream) {
        calls_.closeStream(record.stream);
        record.stream = nullptr;
    }
    record.streamData.reset();
}

void FmodSoundManager::forget(SoundHandle* handle)
{
    for (auto it = records_.begin(); it != records_.end(); ++it) {
        if (it->handle == handle) {
            release(*it);
            records_.erase(it);
            return;
        }
    }
}
