#include "SdlAudioOutput.h"

#include "SoundMixer.h"

#include <SDL.h>

#include <cstdio>

AudioOutput* createAudioOutput() { return new SdlAudioOutput(); }

SdlAudioOutput::~SdlAudioOutput() { stop(); }

void SdlAudioOutput::fill(void* user, unsigned char* stream, int length) {
    static_cast<SoundMixer*>(user)->mix(reinterpret_cast<short*>(stream), length / 4);
}

bool SdlAudioOutput::start(SoundMixer& mixer) {
    stop();
    if (!SDL_WasInit(SDL_INIT_AUDIO)) {
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
            std::fprintf(stderr, "sound: no audio (%s); playing silently\n", SDL_GetError());
            return false;
        }
        subsystemStarted_ = true;
    }
    SDL_AudioSpec wanted;
    wanted.freq = mixer.rate();
    wanted.format = AUDIO_S16SYS;
    wanted.channels = 2;
    wanted.samples = 1024;
    wanted.callback = fill;
    wanted.userdata = &mixer;
    // No "obtained" format: SDL converts to whatever the card needs.
    if (SDL_OpenAudio(&wanted, nullptr) != 0) {
        std::fprintf(stderr, "sound: cannot open the audio device (%s); playing silently\n",
                     SDL_GetError());
        stop();
        return false;
    }
    open_ = true;
    SDL_PauseAudio(0);
    return true;
}

void SdlAudioOutput::stop() {
    if (open_) {
        SDL_CloseAudio();
        open_ = false;
    }
    if (subsystemStarted_) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        subsystemStarted_ = false;
    }
}
