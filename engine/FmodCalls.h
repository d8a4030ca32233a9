#ifndef QUORIN_FMODCALLS_H
#define QUORIN_FMODCALLS_H

#include "SoundLayer.h"

// The sound-system calls FmodSoundManager makes, as a table so a test can
// put a recording layer in place of the real one.
struct FmodCalls {
    signed char (*init)(int mixRate, int maxChannels, unsigned int flags);
    void (*close)();
    FSOUND_DSPUNIT* (*fftUnit)();
    signed char (*setActive)(FSOUND_DSPUNIT* unit, signed char active);
    float* (*getSpectrum)();
    FMUSIC_MODULE* (*loadSong)(const char* data, int offset, int length, unsigned int mode,
                               const int* sampleList, int sampleListCount);
    signed char (*freeSong)(FMUSIC_MODULE* module);
    signed char (*playSong)(FMUSIC_MODULE* module);
    signed char (*stopSong)(FMUSIC_MODULE* module);
    FSOUND_STREAM* (*openStream)(const char* data, unsigned int mode, int offset, int length);
    int (*playStream)(int channel, FSOUND_STREAM* stream);
    signed char (*closeStream)(FSOUND_STREAM* stream);

    // Our sound layer (platform/sound).
    static const FmodCalls& layer();
};

#endif
