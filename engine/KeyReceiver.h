#ifndef QUORIN_KEYRECEIVER_H
#define QUORIN_KEYRECEIVER_H

// Where a back-end's held keys go each frame: the game's onKey and, when
// one is installed, the console.
class KeyReceiver {
public:
    virtual ~KeyReceiver() {}
    virtual void gameKey(int key) = 0;
    virtual bool hasConsole() = 0;
    virtual bool consoleVisible() = 0;
    virtual void consoleKey(int key) = 0;

    // Delivers one held key of the key map: to the game unless a visible
    // console takes it, and to the console when there is one. Visibility is
    // asked before the console sees the key, so the key that opens the
    // console still reaches the game and the one that closes it does not.
    void deliver(int key);
};

#endif
