#ifndef QUORIN_RECORDINGSOUNDMANAGER_H
#define QUORIN_RECORDINGSOUNDMANAGER_H

#include "SoundManager.h"

#include <functional>
#include <string>
#include <vector>

class DataFile;

// One call the recording sound manager received.
struct SoundCall {
    enum Kind { Load, Play, Stop, EnableSpectrum, Spectrum };
    Kind kind;
    SoundHandle* handle;  // the handle loaded, played or stopped (null for the rest)
    std::string path;     // the path of the DataFile the handle was loaded from
    bool flag;            // EnableSpectrum's flag
};

// A SoundManager that loads nothing real: every DataFile gives a handle
// (unless the test's accept function says no), and every call is logged with
// the handle and the path it was loaded from, so a test can say "one death
// sound" or "the music started on GO!". Handles deleted by the game stay
// identified by their path in the log.
class RecordingSoundManager : public SoundManager {
public:
    RecordingSoundManager();
    ~RecordingSoundManager() override;

    void enableSpectrum(bool enabled) override;
    // Writes the values given with setSpectrum (0 past their end).
    void spectrum(float* values, int count) override;
    SoundHandle* load(const DataFile* file) override;
    void play(SoundHandle* handle) override;
    void stop(SoundHandle* handle) override;

    // Decides which DataFiles give a handle; null (the default) accepts all.
    std::function<bool(const DataFile&)> accept;
    void setSpectrum(const std::vector<float>& values) { spectrumValues_ = values; }

    const std::vector<SoundCall>& calls() const { return calls_; }
    void clear() { calls_.clear(); }

    // Counts and orders by the path a handle was loaded from.
    int loads(const std::string& path) const { return count(SoundCall::Load, path); }
    int plays(const std::string& path) const { return count(SoundCall::Play, path); }
    int stops(const std::string& path) const { return count(SoundCall::Stop, path); }
    // Paths of every play, in order ("" for a handle this manager never made).
    std::vector<std::string> played() const;
    // The path a live handle was loaded from; "" for an unknown handle.
    std::string pathOf(const SoundHandle* handle) const;
    // Handles made and not yet deleted.
    int liveHandles() const { return static_cast<int>(live_.size()); }

private:
    struct Live {
        SoundHandle* handle;
        std::string path;
    };

    void forget(SoundHandle* handle) override;
    int count(SoundCall::Kind kind, const std::string& path) const;
    void record(SoundCall::Kind kind, SoundHandle* handle);

    std::vector<SoundCall> calls_;
    std::vector<Live> live_;
    std::vector<float> spectrumValues_;
};

#endif
