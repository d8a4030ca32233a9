#include "WaveOutAudioOutput.h"

#include "SoundMixer.h"

#include <cstdio>

AudioOutput* createAudioOutput() { return new WaveOutAudioOutput(); }

WaveOutAudioOutput::~WaveOutAudioOutput() { stop(); }

bool WaveOutAudioOutput::start(SoundMixer& mixer) {
    stop();
    mixer_ = &mixer;

    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = static_cast<DWORD>(mixer.rate());
    format.wBitsPerSample = 16;
    format.nBlockAlign = 4;
    format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;

    if (waveOutGetNumDevs() == 0) {
        std::fprintf(stderr, "sound: no waveOut device; playing silently\n");
        return false;
    }
    bufferDone_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (!bufferDone_) {
        std::fprintf(stderr, "sound: cannot create an event (error %lu); playing silently\n",
                     GetLastError());
        return false;
    }
    const MMRESULT opened = waveOutOpen(&device_, WAVE_MAPPER, &format,
                                        reinterpret_cast<DWORD_PTR>(bufferDone_), 0, CALLBACK_EVENT);
    if (opened != MMSYSERR_NOERROR) {
        char text[MAXERRORLENGTH] = "";
        waveOutGetErrorTextA(opened, text, sizeof text);
        std::fprintf(stderr, "sound: cannot open the waveOut device (%s); playing silently\n", text);
        device_ = nullptr;
        stop();
        return false;
    }

    for (int i = 0; i < kBuffers; ++i) {
        WAVEHDR& header = headers_[i];
        header = WAVEHDR();
        header.lpData = reinterpret_cast<LPSTR>(samples_[i]);
        header.dwBufferLength = sizeof samples_[i];
        waveOutPrepareHeader(device_, &header, sizeof header);
    }
    running_ = true;
    for (int i = 0; i < kBuffers; ++i) refill(i);
    feeder_ = std::thread(&WaveOutAudioOutput::feed, this);
    return true;
}

void WaveOutAudioOutput::refill(int buffer) {
    mixer_->mix(samples_[buffer], kFrames);
    waveOutWrite(device_, &headers_[buffer], sizeof headers_[buffer]);
}

void WaveOutAudioOutput::feed() {
    while (running_) {
        WaitForSingleObject(bufferDone_, INFINITE);
        for (int i = 0; i < kBuffers && running_; ++i) {
            if (headers_[i].dwFlags & WHDR_DONE) {
                headers_[i].dwFlags &= ~static_cast<DWORD>(WHDR_DONE);
                refill(i);
            }
        }
    }
}

void WaveOutAudioOutput::stop() {
    if (feeder_.joinable()) {
        running_ = false;
        SetEvent(bufferDone_);
        feeder_.join();
    }
    if (device_) {
        waveOutReset(device_);  // hands every queued buffer back
        for (WAVEHDR& header : headers_) waveOutUnprepareHeader(device_, &header, sizeof header);
        waveOutClose(device_);
        device_ = nullptr;
    }
    if (bufferDone_) {
        CloseHandle(bufferDone_);
        bufferDone_ = nullptr;
    }
    mixer_ = nullptr;
}
