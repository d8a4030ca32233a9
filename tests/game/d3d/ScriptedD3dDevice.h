#ifndef QUORIN_SCRIPTEDD3DDEVICE_H
#define QUORIN_SCRIPTEDD3DDEVICE_H

#include "D3dDevice.h"

// The Direct3D device with a script of its own: before each frame (before
// the keyboard is polled) it calls the script with the seconds of game time
// run so far, from the second frame on (the first frame's time is the
// content loading). The script plays the game from inside the program, by
// onKey and requestQuit, so that a test can look at every frame of the real
// device, host loop and game together.
//
// A test may also give the host's frame clock a counter of its own (and its
// frequency), in place of QueryPerformanceCounter.
class ScriptedD3dDevice : public D3dDevice {
public:
    using Script = void (*)(ScriptedD3dDevice& device, float seconds);
    using Counter = int64_t (*)();
    // The script of every ScriptedD3dDevice made afterwards.
    static void setScript(Script script);
    // The counter of every ScriptedD3dDevice made afterwards; null: the
    // host's own.
    static void setCounter(Counter counter, int64_t frequency);

    HRESULT frameMove() override;

protected:
    int64_t counterTicks() override;
    int64_t counterFrequency() override;

private:
    Script script_ = scriptForNext;
    Counter counter_ = counterForNext;
    int64_t frequency_ = frequencyForNext;
    int frames_ = 0;
    float seconds_ = 0.0f;

    static Script scriptForNext;
    static Counter counterForNext;
    static int64_t frequencyForNext;
};

#endif
