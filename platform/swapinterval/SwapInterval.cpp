#include "SwapInterval.h"

#include <GL/glx.h>

namespace {

typedef void (*SwapIntervalExtProc)(Display*, GLXDrawable, int);
typedef int (*SwapIntervalMesaProc)(unsigned int);
typedef int (*SwapIntervalSgiProc)(int);

enum class SwapControl { none, ext, mesa, sgi };

// Which extension the current context offers, preferring EXT (it acts on
// the current drawable only, like WGL's), then MESA, then SGI. Only the
// extension string can tell: glXGetProcAddressARB answers a pointer for any
// name, offered or not.
SwapControl currentSwapControl()
{
    Display* display = glXGetCurrentDisplay();
    if (!display || !glXGetCurrentContext())
        return SwapControl::none;
    const char* list = glXQueryExtensionsString(display, DefaultScreen(display));
    if (extensionListHas(list, "GLX_EXT_swap_control"))
        return SwapControl::ext;
    if (extensionListHas(list, "GLX_MESA_swap_control"))
        return SwapControl::mesa;
    if (extensionListHas(list, "GLX_SGI_swap_control"))
        return SwapControl::sgi;
    return SwapControl::none;
}

void* entryPoint(SwapControl control)
{
    const char* name = control == SwapControl::ext    ? "glXSwapIntervalEXT"
                       : control == SwapControl::mesa ? "glXSwapIntervalMESA"
                       : control == SwapControl::sgi  ? "glXSwapIntervalSGI"
                                                      : nullptr;
    if (!name)
        return nullptr;
    return reinterpret_cast<void*>(glXGetProcAddressARB(reinterpret_cast<const GLubyte*>(name)));
}

} // namespace

bool swapIntervalAvailable()
{
    return entryPoint(currentSwapControl()) != nullptr;
}

bool setSwapInterval(int interval)
{
    if (interval < 0)
        interval = 0;
    const SwapControl control = currentSwapControl();
    void* proc = entryPoint(control);
    if (!proc)
        return false;
    switch (control) {
    case SwapControl::ext:
        reinterpret_cast<SwapIntervalExtProc>(proc)(glXGetCurrentDisplay(), glXGetCurrentDrawable(), interval);
        return true;
    case SwapControl::mesa:
        return reinterpret_cast<SwapIntervalMesaProc>(proc)(static_cast<unsigned int>(interval)) == 0;
    case SwapControl::sgi:
        // SGI's form refuses 0: the driver's own interval then stays.
        return interval > 0 && reinterpret_cast<SwapIntervalSgiProc>(proc)(interval) == 0;
    case SwapControl::none:
        break;
    }
    return false;
}
