#!/usr/bin/env python3
"""Asks an X11 window to close the way a window manager does when its close
button is pressed: a WM_PROTOCOLS client message carrying WM_DELETE_WINDOW.

    wm_close.py WINDOW_ID

WINDOW_ID is decimal or 0x-hexadecimal (as xdotool prints it). The display
comes from $DISPLAY. Exits 0 once the message is sent, 1 when the display
cannot be opened, 2 when the window does not take part in WM_DELETE_WINDOW.
"""
import ctypes
import ctypes.util
import sys

ClientMessage = 33
NoEventMask = 0


class ClientMessageEvent(ctypes.Structure):
    _fields_ = [
        ("type", ctypes.c_int),
        ("serial", ctypes.c_ulong),
        ("send_event", ctypes.c_int),
        ("display", ctypes.c_void_p),
        ("window", ctypes.c_ulong),
        ("message_type", ctypes.c_ulong),
        ("format", ctypes.c_int),
        ("data", ctypes.c_long * 5),
    ]


class Event(ctypes.Union):
    _fields_ = [("client", ClientMessageEvent), ("pad", ctypes.c_long * 24)]


def main():
    if len(sys.argv) != 2:
        sys.stderr.write("usage: wm_close.py WINDOW_ID\n")
        return 64
    window = int(sys.argv[1], 0)
    x = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
    x.XOpenDisplay.restype = ctypes.c_void_p
    x.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x.XInternAtom.restype = ctypes.c_ulong
    x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x.XGetWMProtocols.argtypes = [ctypes.c_void_p, ctypes.c_ulong,
                                  ctypes.POINTER(ctypes.POINTER(ctypes.c_ulong)),
                                  ctypes.POINTER(ctypes.c_int)]
    x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int,
                             ctypes.c_long, ctypes.POINTER(Event)]
    x.XFlush.argtypes = [ctypes.c_void_p]
    x.XFree.argtypes = [ctypes.c_void_p]
    x.XCloseDisplay.argtypes = [ctypes.c_void_p]

    display = x.XOpenDisplay(None)
    if not display:
        sys.stderr.write("wm_close: cannot open the X display\n")
        return 1
    protocols = x.XInternAtom(display, b"WM_PROTOCOLS", 0)
    delete = x.XInternAtom(display, b"WM_DELETE_WINDOW", 0)

    atoms = ctypes.POINTER(ctypes.c_ulong)()
    count = ctypes.c_int(0)
    takes_part = False
    if x.XGetWMProtocols(display, window, ctypes.byref(atoms), ctypes.byref(count)):
        takes_part = any(atoms[i] == delete for i in range(count.value))
        x.XFree(atoms)
    if not takes_part:
        sys.stderr.write("wm_close: window 0x%x does not accept WM_DELETE_WINDOW\n" % window)
        x.XCloseDisplay(display)
        return 2

    event = Event()
    event.client.type = ClientMessage
    event.client.window = window
    event.client.message_type = protocols
    event.client.format = 32
    event.client.data[0] = delete
    event.client.data[1] = 0  # CurrentTime
    x.XSendEvent(display, window, 0, NoEventMask, ctypes.byref(event))
    x.XFlush(display)
    x.XCloseDisplay(display)
    return 0


if __name__ == "__main__":
    sys.exit(main())
