#ifndef QUORIN_SCRIPTEDD3DDEVICE_H
#define QUORIN_SCRIPTEDD3DDEVICE_H

#include "D3dDevice.h"
#include "RgbPicture.h"

// The Direct3D device with a script of its own: before each frame (before
// the keyboard is polled) it calls the script with the seconds of game time
// run so far, from the second frame on (the first frame's time is the
// content loading). The script plays the game from inside the program, by
// onKey and requestQuit, so that a test can look at every frame of the real
// device, host loop and game together.
//
// A test may also give the host's frame clock a counter of its own (and its
// frequency), in place of QueryPerformanceCounter, or give every frame a
// fixed length; and a frame may be read back as drawn, as with
// ScriptedGlDevice, so that the same script can be played on both.
class ScriptedD3dDevice : public D3dDevice {
public:
    using Script = void (*)(ScriptedD3dDevice& device, float seconds);
    using Counter = int64_t (*)();
    // The script of every ScriptedD3dDevice made afterwards.
    static void setScript(Script script);
    // The counter of every ScriptedD3dDevice made afterwards; null: the
    // host's own.
    static void setCounter(Counter counter, int64_t frequency);
    // Every frame of every ScriptedD3dDevice made afterwards lasts this
    // many milliseconds (0: the counter as above), in racer_gl's measure:
    // the game is given float(milliseconds) * 0.001f seconds a frame, to
    // the bit what racer_gl's frame clock gives it, and the first frame as
    // little as Direct3D's clock can give (2^-40 s a counter reading,
    // lost in the game's clock at its next frame). Readings of the counter
    // between two frames (the clock stopped and run again) give no time.
    static void setFixedFrameTime(uint32_t milliseconds);

    // Frames begun so far, this one included (the script's first call is
    // in frame 1).
    int frames() const { return frames_; }
    // The frame being drawn is read back once drawn, before it is
    // presented; frameReadBack holds it from the next script call on.
    void readBackThisFrame() { readBackWanted_ = true; }
    const RgbPicture& frameReadBack() const { return readBack_; }
    // The frame frameReadBack was drawn in; 0 before the first.
    int frameOfReadBack() const { return readBackFrame_; }

    HRESULT frameMove() override;
    HRESULT render() override;

protected:
    int64_t counterTicks() override;
    int64_t counterFrequency() override;

private:
    Script script_ = scriptForNext;
    Counter counter_ = counterForNext;
    int64_t frequency_ = frequencyForNext;
    int64_t fixedTicks_ = fixedTicksForNext;
    int64_t fixedStart_ = 0;
    int frames_ = 0;
    float seconds_ = 0.0f;
    bool readBackWanted_ = false;
    RgbPicture readBack_;
    int readBackFrame_ = 0;

    static Script scriptForNext;
    static Counter counterForNext;
    static int64_t frequencyForNext;
    static int64_t fixedTicksForNext;
};

#endif
