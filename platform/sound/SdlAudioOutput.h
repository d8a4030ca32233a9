#ifndef QUORIN_SDLAUDIOOUTPUT_H
#define QUORIN_SDLAUDIOOUTPUT_H

#include "AudioOutput.h"

// Output through SDL 1.2 audio. Only SDL's audio subsystem is started and
// stopped here, so the video back-end's own SDL_Init and SDL_Quit stay
// independent of it.
class SdlAudioOutput : public AudioOutput {
public:
    ~SdlAudioOutput() override;

    bool start(SoundMixer& mixer) override;
    void stop() override;

private:
    static void fill(void* user, unsigned char* stream, int length);

    bool subsystemStarted_ = false;
    bool open_ = false;
};

#endif
