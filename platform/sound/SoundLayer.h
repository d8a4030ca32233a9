#ifndef QUORIN_SOUNDLAYER_H
#define QUORIN_SOUNDLAYER_H

// Our sound layer: the sound-system calls the engine's sound manager makes,
// carried out by SoundMixer (libxmp for modules, libsndfile for streams) and
// sent to the sound card by an AudioOutput. When no device can be opened the
// layer works on silently; soundLayerMix then lets a caller pull the mix.
//
// Results of the "signed char" calls are 1 for success and 0 for failure.
// Pointers handed back are null on failure; passing a pointer the layer does
// not know (already freed or closed, or from before FSOUND_Close) does nothing.

struct FMUSIC_MODULE;
struct FSOUND_STREAM;
struct FSOUND_DSPUNIT;

enum {
    FSOUND_LOOP_OFF = 0x0001,    // sample mode: samples play unlooped unless the module loops them
    FSOUND_LOADMEMORY = 0x8000,  // "name" points at the file's bytes in memory
};

enum { FSOUND_FREE = -1 };  // any free channel

// Starts the layer at mixrate Hz. Always succeeds; without a device it is
// silent. A second call restarts it, dropping everything loaded. Every
// loaded sound has a voice of its own, so maxchannels and flags change
// nothing.
signed char FSOUND_Init(int mixrate, int maxchannels, unsigned int flags);
// Stops the output and frees every module and stream still loaded.
void FSOUND_Close();

// The spectrum analyser. Inactive until switched on.
FSOUND_DSPUNIT* FSOUND_DSP_GetFFTUnit();
signed char FSOUND_DSP_SetActive(FSOUND_DSPUNIT* unit, signed char active);
// 512 magnitudes of what is being played, lowest band first; null while the
// analyser is off or the layer is not started. Valid until the next call.
float* FSOUND_DSP_GetSpectrum();

// Modules are parsed at load: the bytes may be released right after.
FMUSIC_MODULE* FMUSIC_LoadSongEx(const char* nameOrData, int offset, int length,
                                 unsigned int mode, const int* sampleList, int sampleListCount);
signed char FMUSIC_FreeSong(FMUSIC_MODULE* module);
// Plays from the start, also when already playing.
signed char FMUSIC_PlaySong(FMUSIC_MODULE* module);
signed char FMUSIC_StopSong(FMUSIC_MODULE* module);

// A stream decodes its bytes while it plays: they must stay valid until
// FSOUND_Stream_Close.
FSOUND_STREAM* FSOUND_Stream_Open(const char* nameOrData, unsigned int mode, int offset,
                                  int length);
// Plays from the start; gives the channel used, or -1.
int FSOUND_Stream_Play(int channel, FSOUND_STREAM* stream);
signed char FSOUND_Stream_Close(FSOUND_STREAM* stream);

// Mixes frames stereo frames (interleaved 16-bit) of what is playing into out
// and feeds the spectrum, as the sound card would. Used where no device
// runs (tests, tools); gives the frames written (0 when not started).
int soundLayerMix(short* out, int frames);

#endif
