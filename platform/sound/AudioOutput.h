#ifndef QUORIN_AUDIOOUTPUT_H
#define QUORIN_AUDIOOUTPUT_H

class SoundMixer;

// Where the mixed sound goes: the sound card through the platform's audio
// API. One implementation is linked per platform (SdlAudioOutput here).
class AudioOutput {
public:
    virtual ~AudioOutput() {}

    // Starts pulling 16-bit stereo frames from the mixer at its rate. False
    // when no device can be opened; the layer then stays silent.
    virtual bool start(SoundMixer& mixer) = 0;
    virtual void stop() = 0;
};

AudioOutput* createAudioOutput();

#endif
