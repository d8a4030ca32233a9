// A driver with swap control in place of the swap-interval layer's GLX
// implementation (whose extensionListHas stays in use): Xvfb offers no swap
// interval, and without one the device keeps to core OpenGL 1.1. Linked
// into a test program, it lets the device take its extension paths there.
#include "DriverSwapControl.h"
#include "SwapInterval.h"

#include <GL/glx.h>

bool swapIntervalAvailable()
{
    return glXGetCurrentContext() != nullptr;
}

bool setSwapInterval(int)
{
    return swapIntervalAvailable();
}

bool driverSwapControl()
{
    return swapIntervalAvailable();
}
