#ifndef QUORIN_D3DINPUT_H
#define QUORIN_D3DINPUT_H

#include "KeyReceiver.h"

// Which Win32 virtual keys are down now (GetAsyncKeyState in the program).
class KeyState {
public:
    virtual ~KeyState() {}
    virtual bool held(int virtualKey) = 0;
};

// Delivers the held keys of one frame, row by row in key-map order: each
// held row goes to the game unless a visible console takes it, and to the
// console when there is one. At a held Escape the delivery stops and the
// answer is true (the window is to close): rows before it, the mouse
// buttons among them, have been delivered, none after it. Otherwise false.
bool deliverHeldKeys(KeyState& state, KeyReceiver& receiver);

// The pointer position in device coordinates from a position in the client
// area: scaled by device size / client size (the back buffer keeps the
// device size and is stretched over a resized window), truncated. Outside
// the device area, or with an empty client area (a minimised window),
// both coordinates become 0.
void clientToDevicePosition(int clientX, int clientY, int deviceWidth, int deviceHeight,
                            int clientWidth, int clientHeight, int* x, int* y);

// Where Device::setMousePosition puts the pointer, in client coordinates:
// the point itself inside the device area, else (0, 0). Not scaled.
void mouseTargetPosition(int x, int y, int deviceWidth, int deviceHeight, int* targetX, int* targetY);

#endif
