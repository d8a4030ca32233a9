#include "DriverSwapControl.h"
#include "SwapInterval.h"

#include <GL/glx.h>

bool driverSwapControl()
{
    Display* display = glXGetCurrentDisplay();
    if (!display)
        return false;
    const char* list = glXQueryExtensionsString(display, DefaultScreen(display));
    return extensionListHas(list, "GLX_EXT_swap_control") || extensionListHas(list, "GLX_MESA_swap_control")
        || extensionListHas(list, "GLX_SGI_swap_control");
}
