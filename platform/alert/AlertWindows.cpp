#include "Alert.h"

#include <windows.h>

void Alert::show(const std::string& title, const std::string& text)
{
    // No owner window: the game's window is gone by the time the program
    // reports why it stopped. Brought to the front, since nothing else of
    // the program is on the screen any more.
    MessageBoxA(nullptr, text.c_str(), title.c_str(), MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}
