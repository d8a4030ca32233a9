#include "SoundLayer.h"

#include "AudioOutput.h"
#include "Fft.h"
#include "SoundMixer.h"

namespace {

struct Layer {
    SoundMixer* mixer = nullptr;
    AudioOutput* output = nullptr;
    bool spectrumActive = false;
    float spectrum[Fft::kBands] = {};
};

Layer layer;

// The analyser unit has no state of its own: its pointer is this tag.
struct FftUnitTag {
    int unused;
} fftUnit;

FSOUND_DSPUNIT* fftUnitHandle() { return reinterpret_cast<FSOUND_DSPUNIT*>(&fftUnit); }

SoundTrack* track(FMUSIC_MODULE* module) { return reinterpret_cast<SoundTrack*>(module); }
SoundTrack* track(FSOUND_STREAM* stream) { return reinterpret_cast<SoundTrack*>(stream); }

// The bytes a load call names, or null when the call is unusable.
const char* memoryBytes(const char* nameOrData, int offset, int length, unsigned int mode) {
    if (!layer.mixer || !nameOrData || !(mode & FSOUND_LOADMEMORY)) return nullptr;
    if (offset < 0 || length <= 0) return nullptr;
    return nameOrData + offset;
}

}  // namespace

signed char FSOUND_Init(int mixrate, int, unsigned int) {
    FSOUND_Close();
    layer.mixer = new SoundMixer(mixrate > 0 ? mixrate : 44100);
    layer.output = createAudioOutput();
    if (layer.output && !layer.output->start(*layer.mixer)) {
        delete layer.output;
        layer.output = nullptr;
    }
    return 1;
}

void FSOUND_Close() {
    if (layer.output) {
        layer.output->stop();
        delete layer.output;
        layer.output = nullptr;
    }
    delete layer.mixer;
    layer.mixer = nullptr;
    layer.spectrumActive = false;
}

FSOUND_DSPUNIT* FSOUND_DSP_GetFFTUnit() { return fftUnitHandle(); }

signed char FSOUND_DSP_SetActive(FSOUND_DSPUNIT* unit, signed char active) {
    if (unit != fftUnitHandle()) return 0;
    layer.spectrumActive = active != 0;
    return 1;
}

float* FSOUND_DSP_GetSpectrum() {
    if (!layer.mixer || !layer.spectrumActive) return nullptr;
    layer.mixer->spectrum(layer.spectrum);
    return layer.spectrum;
}

FMUSIC_MODULE* FMUSIC_LoadSongEx(const char* nameOrData, int offset, int length,
                                 unsigned int mode, const int*, int) {
    const char* bytes = memoryBytes(nameOrData, offset, length, mode);
    if (!bytes) return nullptr;
    // A song repeats from its restart point until it is stopped, as music
    // behind a menu or a race should; FSOUND_LOOP_OFF only concerns the
    // sample mode, and the module's own samples keep their loop settings.
    SoundTrack* t = layer.mixer->loadModule(bytes, length, true);
    return reinterpret_cast<FMUSIC_MODULE*>(t);
}

signed char FMUSIC_FreeSong(FMUSIC_MODULE* module) {
    return layer.mixer && layer.mixer->release(track(module)) ? 1 : 0;
}

signed char FMUSIC_PlaySong(FMUSIC_MODULE* module) {
    return layer.mixer && layer.mixer->play(track(module)) ? 1 : 0;
}

signed char FMUSIC_StopSong(FMUSIC_MODULE* module) {
    return layer.mixer && layer.mixer->stop(track(module)) ? 1 : 0;
}

FSOUND_STREAM* FSOUND_Stream_Open(const char* nameOrData, unsigned int mode, int offset,
                                  int length) {
    const char* bytes = memoryBytes(nameOrData, offset, length, mode);
    if (!bytes) return nullptr;
    return reinterpret_cast<FSOUND_STREAM*>(layer.mixer->openStream(bytes, length));
}

int FSOUND_Stream_Play(int, FSOUND_STREAM* stream) {
    if (!layer.mixer || !layer.mixer->play(track(stream))) return -1;
    return layer.mixer->indexOf(track(stream));
}

signed char FSOUND_Stream_Close(FSOUND_STREAM* stream) {
    return layer.mixer && layer.mixer->release(track(stream)) ? 1 : 0;
}

int soundLayerMix(short* out, int frames) {
    if (!layer.mixer || !out || frames <= 0) return 0;
    layer.mixer->mix(out, frames);
    return frames;
}
