#ifndef QUORIN_WAVEOUTAUDIOOUTPUT_H
#define QUORIN_WAVEOUTAUDIOOUTPUT_H

#include "AudioOutput.h"

#include <windows.h>
#include <mmsystem.h>

#include <atomic>
#include <thread>

// Output through winmm's waveOut. A few buffers circle between the device
// and a feeder thread: the device signals an event as it finishes each one,
// and the feeder refills it from the mixer and queues it again.
class WaveOutAudioOutput : public AudioOutput {
public:
    ~WaveOutAudioOutput() override;

    bool start(SoundMixer& mixer) override;
    void stop() override;

private:
    static const int kBuffers = 4;
    static const int kFrames = 1024;  // per buffer: about 23 ms at 44100 Hz

    void refill(int buffer);
    void feed();

    SoundMixer* mixer_ = nullptr;
    HWAVEOUT device_ = nullptr;
    HANDLE bufferDone_ = nullptr;
    WAVEHDR headers_[kBuffers] = {};
    short samples_[kBuffers][kFrames * 2] = {};
    std::atomic<bool> running_{false};
    std::thread feeder_;
};

#endif
