#ifndef QUORIN_KEYMAP_H
#define QUORIN_KEYMAP_H

// One row of the key map: the engine key number (Key) a held Win32 virtual
// key gives.
struct KeyMapRow {
    int key;
    int virtualKey;
};

// The keys racer_d3d polls every frame, in polling order: the two mouse
// buttons first, Escape sixth. Several virtual keys share an engine number
// (keypad 4 and digit 0, arrow up and digit 8, keypad minus and keypad 1).
class KeyMap {
public:
    static constexpr int rowCount = 89;
    static const KeyMapRow* rows();
};

#endif
