#pragma once

// The swap interval of the current OpenGL context: how many vertical
// retraces a buffer swap waits for (0 = do not wait). On X11 the driver
// offers it through one of three GLX extensions; this layer hides which.

// True when the driver of the current context can set a swap interval
// (GLX_EXT_swap_control, GLX_MESA_swap_control or GLX_SGI_swap_control).
// False without a current context.
bool swapIntervalAvailable();

// Sets the swap interval of the current context. Answers false, and
// changes nothing, when no swap-interval extension is available.
bool setSwapInterval(int interval);

// Whether the space-separated extension list names the extension exactly
// (a longer name that merely starts with it does not count).
bool extensionListHas(const char* list, const char* name);
