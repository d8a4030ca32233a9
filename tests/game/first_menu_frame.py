#!/usr/bin/env python3
"""Times a program's start as a player sees it, for the benchmarks (not a
test): from starting the command to its window titled "Quorin" being
mapped, and to the first frame of the main menu on the screen (the title's
white letters in the rectangle the play tests check), then closes the
window as a window manager would and waits for the program to end.

    first_menu_frame.py [--cwd DIR] -- COMMAND...

Run inside an X server (tests/xvfb/xvfb.sh); prints
"window N ms, first menu frame M ms". The screen is read every 2 ms or so,
so the figures hold to a few milliseconds. Exits 1 when no menu shows
within 120 seconds or the program does not end with status 0.
"""
import ctypes
import ctypes.util
import os
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
TITLE = b"Quorin"
# The rectangle of the menu's title and the share of bright pixels that
# means it is drawn: the same as the play tests' first check; a window
# still blank white (not yet drawn into) is not the title.
X0, Y0, X1, Y1, MIN_BRIGHT, MAX_BRIGHT = 200, 120, 440, 150, 0.05, 0.9
ZPixmap = 2
AllPlanes = 0xFFFFFFFF


class XImage(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.POINTER(ctypes.c_ubyte)),
                ("byte_order", ctypes.c_int), ("bitmap_unit", ctypes.c_int),
                ("bitmap_bit_order", ctypes.c_int), ("bitmap_pad", ctypes.c_int),
                ("depth", ctypes.c_int), ("bytes_per_line", ctypes.c_int),
                ("bits_per_pixel", ctypes.c_int)]


class XWindowAttributes(ctypes.Structure):
    _fields_ = [("x", ctypes.c_int), ("y", ctypes.c_int), ("width", ctypes.c_int), ("height", ctypes.c_int),
                ("border_width", ctypes.c_int), ("depth", ctypes.c_int), ("visual", ctypes.c_void_p),
                ("root", ctypes.c_ulong), ("c_class", ctypes.c_int), ("bit_gravity", ctypes.c_int),
                ("win_gravity", ctypes.c_int), ("backing_store", ctypes.c_int),
                ("backing_planes", ctypes.c_ulong), ("backing_pixel", ctypes.c_ulong),
                ("save_under", ctypes.c_int), ("colormap", ctypes.c_ulong), ("map_installed", ctypes.c_int),
                ("map_state", ctypes.c_int), ("all_event_masks", ctypes.c_long),
                ("your_event_mask", ctypes.c_long), ("do_not_propagate_mask", ctypes.c_long),
                ("override_redirect", ctypes.c_int), ("screen", ctypes.c_void_p)]


IsViewable = 2


def xlib():
    x = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
    x.XOpenDisplay.restype = ctypes.c_void_p
    x.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x.XDefaultRootWindow.restype = ctypes.c_ulong
    x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    x.XQueryTree.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
                             ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.POINTER(ctypes.c_ulong)),
                             ctypes.POINTER(ctypes.c_uint)]
    x.XFetchName.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_char_p)]
    x.XFree.argtypes = [ctypes.c_void_p]
    x.XGetImage.restype = ctypes.POINTER(XImage)
    x.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_uint,
                            ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
    x.XSetErrorHandler.argtypes = [ctypes.c_void_p]
    x.XGetWindowAttributes.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(XWindowAttributes)]
    x.XTranslateCoordinates.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_int,
                                        ctypes.c_int, ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_int),
                                        ctypes.POINTER(ctypes.c_ulong)]
    return x


# A window that goes away between listing and reading is no error here.
ERROR_HANDLER = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)(lambda d, e: 0)


def find_window(x, display, window):
    """The first viewable window below WINDOW named exactly TITLE, or 0."""
    name = ctypes.c_char_p()
    if x.XFetchName(display, window, ctypes.byref(name)) and name.value is not None:
        found = name.value == TITLE
        x.XFree(name)
        attributes = XWindowAttributes()
        if found and x.XGetWindowAttributes(display, window, ctypes.byref(attributes)) and \
                attributes.map_state == IsViewable:
            return window
    root, parent = ctypes.c_ulong(), ctypes.c_ulong()
    children, count = ctypes.POINTER(ctypes.c_ulong)(), ctypes.c_uint()
    if not x.XQueryTree(display, window, ctypes.byref(root), ctypes.byref(parent),
                        ctypes.byref(children), ctypes.byref(count)):
        return 0
    result = 0
    for i in range(count.value):
        result = find_window(x, display, children[i])
        if result:
            break
    if children:
        x.XFree(children)
    return result


def title_drawn(x, display, root, window):
    # Read from the screen (the root window) where the window lies: a
    # program may draw into a child of the window it names.
    left, top, child = ctypes.c_int(), ctypes.c_int(), ctypes.c_ulong()
    if not x.XTranslateCoordinates(display, window, root, 0, 0, ctypes.byref(left), ctypes.byref(top),
                                   ctypes.byref(child)):
        return False
    image = x.XGetImage(display, root, left.value + X0, top.value + Y0, X1 - X0, Y1 - Y0, AllPlanes, ZPixmap)
    if not image:
        return False
    img = image.contents
    bright = total = 0
    step = img.bits_per_pixel // 8
    for row in range(0, img.height, 2):
        line = row * img.bytes_per_line
        for col in range(0, img.width, 2):
            i = line + col * step
            total += 1
            if img.data[i] > 200 and img.data[i + 1] > 200 and img.data[i + 2] > 200:
                bright += 1
    x.XFree(img.data)
    x.XFree(image)
    return total and MIN_BRIGHT <= bright / total <= MAX_BRIGHT


def main(argv):
    cwd = None
    if argv[:1] == ["--cwd"]:
        cwd, argv = argv[1], argv[2:]
    if argv[:1] == ["--"]:
        argv = argv[1:]
    if not argv:
        sys.stderr.write(__doc__)
        return 2
    x = xlib()
    display = x.XOpenDisplay(None)
    if not display:
        sys.stderr.write("first_menu_frame: cannot open the X display\n")
        return 1
    x.XSetErrorHandler(ERROR_HANDLER)
    root = x.XDefaultRootWindow(display)

    start = time.monotonic()
    program = subprocess.Popen(argv, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    window = 0
    window_ms = menu_ms = None
    while time.monotonic() - start < 120 and program.poll() is None:
        if not window:
            window = find_window(x, display, root)
            if window:
                window_ms = (time.monotonic() - start) * 1000
        elif title_drawn(x, display, root, window):
            menu_ms = (time.monotonic() - start) * 1000
            break
        time.sleep(0.002)
    if menu_ms is None:
        if program.poll() is not None:
            sys.stderr.write("first_menu_frame: the program ended with status %d before its menu showed\n"
                             % program.returncode)
        else:
            sys.stderr.write("first_menu_frame: no menu within 120 s\n")
        program.kill()
        program.wait()
        return 1
    print("window %.0f ms, first menu frame %.0f ms" % (window_ms, menu_ms))
    sys.stdout.flush()
    time.sleep(1)
    subprocess.run([sys.executable, os.path.join(HERE, "..", "xvfb", "wm_close.py"), str(window)], check=False)
    try:
        status = program.wait(timeout=60)
    except subprocess.TimeoutExpired:
        program.kill()
        status = program.wait()
    return 0 if status == 0 else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
