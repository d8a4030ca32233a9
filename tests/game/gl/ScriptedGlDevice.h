#ifndef QUORIN_SCRIPTEDGLDEVICE_H
#define QUORIN_SCRIPTEDGLDEVICE_H

#include "GlDevice.h"
#include "RgbPicture.h"

// racer_gl's device with a script of its own, as ScriptedD3dDevice is
// racer_d3d's: before each frame (after the keyboard is polled) it calls
// the script with the seconds of game time run so far, from the second
// frame on (the first frame's time is the content loading). The script
// plays the game from inside the program, by onKey and requestQuit, in the
// real SDL window with the real OpenGL (under Xvfb: Mesa's), the real host
// loop and the game together.
//
// Frames may be given a fixed length, so that a race played by the same
// script is at the same moment at the same frame whatever the machine's
// pace, and a frame may be read back as drawn.
class ScriptedGlDevice : public GlDevice {
public:
    using Script = void (*)(ScriptedGlDevice& device, float seconds);
    // The script of every ScriptedGlDevice made afterwards.
    static void setScript(Script script);
    // Every frame of every ScriptedGlDevice made afterwards lasts this
    // many milliseconds of the frame clock (0: real time). The game is
    // given float(milliseconds) * 0.001f seconds a frame, the first frame
    // 0.
    static void setFixedFrameTime(uint32_t milliseconds);

    // Frames begun so far, this one included (the script's first call is
    // in frame 1).
    int frames() const { return frames_; }
    // The frame being drawn is read back once drawn, before it is shown;
    // frameReadBack holds it from the next script call on.
    void readBackThisFrame() { readBackWanted_ = true; }
    const RgbPicture& frameReadBack() const { return readBack_; }
    // The frame frameReadBack was drawn in; 0 before the first.
    int frameOfReadBack() const { return readBackFrame_; }

    void beginFrame() override;
    void endFrame() override;

protected:
    uint32_t ticks() override;

private:
    Script script_ = scriptForNext;
    uint32_t fixedMilliseconds_ = fixedMillisecondsForNext;
    int frames_ = 0;
    float seconds_ = 0.0f;
    uint32_t lastTicks_ = 0;
    uint32_t ticksOfFrame_ = 0;
    bool readBackWanted_ = false;
    RgbPicture readBack_;
    int readBackFrame_ = 0;

    static Script scriptForNext;
    static uint32_t fixedMillisecondsForNext;
};

#endif
