#ifndef QUORIN_KEYMAP_H
#define QUORIN_KEYMAP_H

#include <SDL/SDL_keysym.h>

// One row of the key map: the engine key number (Key) a held SDL key gives.
struct KeyMapRow {
    int key;
    SDLKey sdlKey;
};

// The keys racer_gl scans every loop turn, in scanning order. Several SDL
// keys share an engine number (keypad 4 and digit 0, arrow up and digit 8);
// the mouse buttons have no rows, they are read before the table.
class KeyMap {
public:
    static constexpr int rowCount = 87;
    static const KeyMapRow* rows();
};

#endif
