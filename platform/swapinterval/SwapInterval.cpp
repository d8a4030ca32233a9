#include "SwapInterval.h"

#include <GL/glx.h>

#include <cstring>

namespace {

typedef void (*SwapIntervalExtProc)(Display*, GLXDrawable, int);
typedef int (*SwapIntervalMesaProc)(unsigned int);
typedef int (*SwapIntervalSgiProc)(int);

enum class SwapControl { none, ext, mesa, sgi };

// Which extension the current context offers, preferring EXT (it acts on
// the current drawable only, like WGL's), then MESA, then SGI.
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

void* entryPoint(const char* name)
{
    return reinterpret_cast<void*>(glXGetProcAddressARB(reinterpret_cast<const GLubyte*>(name)));
}

} // namespace

bool extensionListHas(const char* list, const char* name)
{
    if (!list || !name || !*name)
        return false;
    const size_t length = std::strlen(name);
    for (const char* p = list; (p = std::strstr(p, name)) != nullptr; p += length) {
        const bool startsWord = p == list || p[-1] == ' ';
        const bool endsWord = p[length] == ' ' || p[length] == '\0';
        if (startsWord && endsWord)
            return true;
    }
    return false;
}

bool swapIntervalAvailable()
{
    if (!glXGetCurrentDisplay() || !glXGetCurrentContext())
        return false;
    return entryPoint("glXSwapIntervalEXT") || entryPoint("glXSwapIntervalMESA")
        || entryPoint("glXSwapIntervalSGI");
}

bool setSwapInterval(int interval)
{
    if (interval < 0)
        interval = 0;
    switch (currentSwapControl()) {
    case SwapControl::ext:
        if (auto proc = reinterpret_cast<SwapIntervalExtProc>(entryPoint("glXSwapIntervalEXT"))) {
            proc(glXGetCurrentDisplay(), glXGetCurrentDrawable(), interval);
            return true;
        }
        break;
    case SwapControl::mesa:
        if (auto proc = reinterpret_cast<SwapIntervalMesaProc>(entryPoint("glXSwapIntervalMESA")))
            return proc(static_cast<unsigned int>(interval)) == 0;
        break;
    case SwapControl::sgi:
        // SGI's form refuses 0: the driver's own interval then stays.
        if (auto proc = reinterpret_cast<SwapIntervalSgiProc>(entryPoint("glXSwapIntervalSGI")))
            return interval > 0 && proc(interval) == 0;
        break;
    case SwapControl::none:
        break;
    }
    return false;
}
