#ifndef QUORIN_SWAPINTERVAL_H
#define QUORIN_SWAPINTERVAL_H

// The swap interval of the current OpenGL context: how many vertical
// retraces a buffer swap waits for (0 = do not wait). This is the X11
// counterpart of WGL's wglSwapIntervalEXT; the driver offers it through one
// of three GLX extensions (EXT, MESA or SGI swap control), and this layer
// hides which.

// True when the current context offers a swap interval, as
// wglSwapIntervalEXT is present on Windows: the display's GLX extension
// string names EXT, MESA or SGI swap control (and its entry point
// resolves). A server without retraces to wait for (Xvfb) names none of
// them. False without a current context.
bool swapIntervalAvailable();

// Sets the swap interval of the current context through the first of the
// three extensions the driver advertises. Answers false, changing nothing,
// when it advertises none (or, for SGI's form, for an interval of 0, which
// that form refuses).
bool setSwapInterval(int interval);

// Whether the space-separated extension list names the extension exactly
// (a longer name that merely starts with it does not count). In a file of
// its own, so a program can link its own stand-in for the two functions
// above (the OpenGL scene test plays a driver with swap control on Xvfb).
bool extensionListHas(const char* list, const char* name);

#endif
