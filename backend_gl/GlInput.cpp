#include "GlInput.h"

#include "Device.h"
#include "KeyMap.h"

#include <SDL/SDL_mouse.h>

namespace {

bool held(const uint8_t* keys, int keyCount, int sdlKey)
{
    return sdlKey >= 0 && sdlKey < keyCount && keys[sdlKey] == 1;
}

} // namespace

bool deliverHeldKeys(const uint8_t* keys, int keyCount, uint8_t buttons, KeyReceiver& receiver)
{
    if (!keys)
        keyCount = 0;
    if (held(keys, keyCount, SDLK_ESCAPE))
        return true;

    if (buttons & SDL_BUTTON(SDL_BUTTON_LEFT))
        receiver.gameKey(Key::mouseLeft);
    else if (buttons & SDL_BUTTON(SDL_BUTTON_RIGHT))
        receiver.gameKey(Key::mouseRight);

    const KeyMapRow* rows = KeyMap::rows();
    for (int i = 0; i < KeyMap::rowCount; ++i) {
        if (!held(keys, keyCount, rows[i].sdlKey))
            continue;
        receiver.deliver(rows[i].key);
    }
    return false;
}

bool takeEvent(const SDL_Event& event, int& mouseX, int& mouseY)
{
    switch (event.type) {
    case SDL_MOUSEMOTION:
        mouseX = event.motion.x;
        mouseY = event.motion.y;
        return false;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        mouseX = event.button.x;
        mouseY = event.button.y;
        return false;
    case SDL_QUIT:
        return true;
    default:
        return false;
    }
}
