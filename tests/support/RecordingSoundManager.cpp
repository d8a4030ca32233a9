#include "RecordingSoundManager.h"

#include "DataFile.h"
#include "SoundHandle.h"

RecordingSoundManager::RecordingSoundManager()
{
}

RecordingSoundManager::~RecordingSoundManager()
{
    for (Live& live : live_)
        untie(live.handle);
}

void RecordingSoundManager::enableSpectrum(bool enabled)
{
    calls_.push_back(SoundCall{SoundCall::EnableSpectrum, nullptr, std::string(), enabled});
}

void RecordingSoundManager::spectrum(float* values, int count)
{
    calls_.push_back(SoundCall{SoundCall::Spectrum, nullptr, std::string(), false});
    for (int i = 0; values && i < count; ++i)
        values[i] = i < static_cast<int>(spectrumValues_.size()) ? spectrumValues_[i] : 0.0f;
}

SoundHandle* RecordingSoundManager::load(const DataFile* file)
{
    if (!file || (accept && !accept(*file)))
        return nullptr;
    SoundHandle* handle = newHandle();
    live_.push_back(Live{handle, file->path()});
    record(SoundCall::Load, handle);
    return handle;
}

void RecordingSoundManager::play(SoundHandle* handle)
{
    record(SoundCall::Play, handle);
}

void RecordingSoundManager::stop(SoundHandle* handle)
{
    record(SoundCall::Stop, handle);
}

void RecordingSoundManager::record(SoundCall::Kind kind, SoundHandle* handle)
{
    calls_.push_back(SoundCall{kind, handle, pathOf(handle), false});
}

std::string RecordingSoundManager::pathOf(const SoundHandle* handle) const
{
    for (const Live& live : live_)
        if (live.handle == handle)
            return live.path;
    return std::string();
}

void RecordingSoundManager::forget(SoundHandle* handle)
{
    for (auto it = live_.begin(); it != live_.end(); ++it) {
        if (it->handle == handle) {
            live_.erase(it);
            return;
        }
    }
}

int RecordingSoundManager::count(SoundCall::Kind kind, const std::string& path) const
{
    int n = 0;
    for (const SoundCall& call : calls_)
        if (call.kind == kind && call.path == path)
            ++n;
    return n;
}

std::vector<std::string> RecordingSoundManager::played() const
{
    std::vector<std::string> paths;
    for (const SoundCall& call : calls_)
        if (call.kind == SoundCall::Play)
            paths.push_back(call.path);
    return paths;
}
