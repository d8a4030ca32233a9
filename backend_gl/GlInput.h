#ifndef QUORIN_GLINPUT_H
#define QUORIN_GLINPUT_H

#include "KeyReceiver.h"

#include <SDL/SDL_events.h>

#include <cstdint>

// Delivers the held keys of one loop turn from SDL's key state (keyCount
// bytes, a key is held when its byte is 1) and mouse-button mask.
// Escape held: nothing is delivered and the answer is true (the program
// ends). Otherwise the left mouse button gives mouseLeft, or else the right
// one mouseRight, to the game only; then every held row of the key map, in
// order, goes to the game unless a visible console takes it, and to the
// console when there is one. Answers false.
bool deliverHeldKeys(const uint8_t* keys, int keyCount, uint8_t buttons, KeyReceiver& receiver);

// Takes one SDL event: mouse motion and buttons move the remembered pointer
// position, other events leave it. Answers true for SDL_QUIT.
bool takeEvent(const SDL_Event& event, int& mouseX, int& mouseY);

#endif
