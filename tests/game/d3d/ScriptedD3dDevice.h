#ifndef QUORIN_SCRIPTEDD3DDEVICE_H
#define QUORIN_SCRIPTEDD3DDEVICE_H

#include "D3dDevice.h"

// The Direct3D device with a script of its own: before each frame (before
// the keyboard is polled) it calls the script with the seconds of game time
// run so far, from the second frame on (the first frame's time is the
// content loading). The script plays the game from inside the program, by
// onKey and requestQuit, so that a test can look at every frame of the real
// device, host loop and game together.
class ScriptedD3dDevice : public D3dDevice {
public:
    using Script = void (*)(ScriptedD3dDevice& device, float seconds);
    // The script of every ScriptedD3dDevice made afterwards.
    static void setScript(Script script);

    HRESULT frameMove() override;

private:
    Script script_ = scriptForNext;
    int frames_ = 0;
    float seconds_ = 0.0f;

    static Script scriptForNext;
};

#endif
