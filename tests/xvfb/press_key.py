#!/usr/bin/env python3
"""Presses and releases one key through the XTEST extension, the release
timed by the X server itself:

    press_key.py KEY HOLD_MS

KEY is an X key name (Return, Right, Escape, ...). Both events are sent
together; the server waits HOLD_MS milliseconds between them (XTEST's own
delay), so the key is held for that long whatever happens to this process
or to the machine meanwhile: a press timed by a client (xdotool's keydown,
sleep, keyup) is held for as long as that client takes to come back, which
on a busy machine can be many frames. The key goes to the window that has
the focus. The display comes from $DISPLAY. Exits 0 once the server has
taken both events, 1 when the display cannot be opened or the key has no
key code.
"""
import ctypes
import ctypes.util
import sys


def main():
    if len(sys.argv) != 3:
        sys.stderr.write("usage: press_key.py KEY HOLD_MS\n")
        return 64
    name, hold = sys.argv[1].encode(), int(sys.argv[2])
    x = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
    xtst = ctypes.CDLL(ctypes.util.find_library("Xtst") or "libXtst.so.6")
    x.XOpenDisplay.restype = ctypes.c_void_p
    x.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x.XStringToKeysym.restype = ctypes.c_ulong
    x.XStringToKeysym.argtypes = [ctypes.c_char_p]
    x.XKeysymToKeycode.restype = ctypes.c_ubyte
    x.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
    x.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
    x.XCloseDisplay.argtypes = [ctypes.c_void_p]
    xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]

    display = x.XOpenDisplay(None)
    if not display:
        sys.stderr.write("press_key: cannot open the X display\n")
        return 1
    code = x.XKeysymToKeycode(display, x.XStringToKeysym(name))
    if not code:
        sys.stderr.write("press_key: no key code for %s\n" % sys.argv[1])
        x.XCloseDisplay(display)
        return 1
    xtst.XTestFakeKeyEvent(display, code, 1, 0)
    xtst.XTestFakeKeyEvent(display, code, 0, hold)
    x.XSync(display, 0)
    x.XCloseDisplay(display)
    return 0


if __name__ == "__main__":
    sys.exit(main())
