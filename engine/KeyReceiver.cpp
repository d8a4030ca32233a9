#include "KeyReceiver.h"

void KeyReceiver::deliver(int key)
{
    if (!hasConsole()) {
        gameKey(key);
        return;
    }
    if (!consoleVisible())
        gameKey(key);
    consoleKey(key);
}
