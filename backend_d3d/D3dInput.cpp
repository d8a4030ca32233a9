#include "D3dInput.h"

#include "KeyMap.h"

#include <windows.h>

bool deliverHeldKeys(KeyState& state, KeyReceiver& receiver)
{
    const KeyMapRow* rows = KeyMap::rows();
    for (int i = 0; i < KeyMap::rowCount; ++i) {
        if (!state.held(rows[i].virtualKey))
            continue;
        if (rows[i].virtualKey == VK_ESCAPE)
            return true;
        receiver.deliver(rows[i].key);
    }
    return false;
}

namespace {

// Truncated towards zero; values beyond the device area stay beyond it.
int truncated(double value, int limit)
{
    if (value >= limit)
        return limit;
    if (value <= -1.0)
        return -1;
    return static_cast<int>(value);
}

} // namespace

void clientToDevicePosition(int clientX, int clientY, int deviceWidth, int deviceHeight,
                            int clientWidth, int clientHeight, int* x, int* y)
{
    int scaledX = -1;
    int scaledY = -1;
    if (clientWidth > 0 && clientHeight > 0) {
        scaledX = truncated(clientX * (static_cast<double>(deviceWidth) / clientWidth), deviceWidth);
        scaledY = truncated(clientY * (static_cast<double>(deviceHeight) / clientHeight), deviceHeight);
    }
    if (scaledX < 0 || scaledY < 0 || scaledX >= deviceWidth || scaledY >= deviceHeight) {
        scaledX = 0;
        scaledY = 0;
    }
    if (x)
        *x = scaledX;
    if (y)
        *y = scaledY;
}

void mouseTargetPosition(int x, int y, int deviceWidth, int deviceHeight, int* targetX, int* targetY)
{
    if (x < 0 || y < 0 || x >= deviceWidth || y >= deviceHeight) {
        x = 0;
        y = 0;
    }
    *targetX = x;
    *targetY = y;
}
