#!/usr/bin/env python3
"""Watches the frames a game window presents, and presses keys and takes
screenshots in step with them:

    presented_frames.py WINDOW rate SECONDS
    presented_frames.py WINDOW press KEY
    presented_frames.py WINDOW shot FILE.png
    presented_frames.py WINDOW burst PREFIX SECONDS GAP

WINDOW is the X window id of the game's top-level window (decimal or 0x...).
A game presents each frame by copying it whole into its window; the X
server's DAMAGE extension reports that copy as one rectangle the size of the
window (under Wine too: the damage of its drawing window reaches the
top-level window). Smaller rectangles (a cursor, an expose) are not frames.

rate: counts the frames presented over SECONDS and prints the rate.

press: holds KEY (an X key name: Return, Right, Escape...) so that a menu
takes it once. The game polls held keys once a frame, just after presenting
the frame before, and a menu lets one key through per 0.2 s of its clock,
the clock of the frame before the poll: a key still held on the poll after
a slow frame passes twice, and one let go before any poll is missed. So
the frame time is measured first (the median of the last intervals), and
the X server itself (XTEST's delays, by its own clock, whatever happens to
this process meanwhile) puts the key down half way through a frame after
one it presented, and lets it go before 0.2 s have passed since the frame
before that one (less a margin): no frame that long can have come between
(see Window.press). A game too slow for that (its frames come in bursts
on a busy machine: a slow one, then a few quick ones) has the key for less
than the shortest interval between its frames seen lately, about the time
its next frame should be presented: one poll at most, or none, and the
caller presses again. It then waits for two more
frames and prints the hold, the frames presented while the key was down
(by the server's clock: the poll after each of them saw it) and the frame
rate.

shot: writes the window's content as a PNG, taken just after the second
frame presented once the command started (the first may have been drawn
before it), so the picture is one whole frame the game presented, drawn
after anything that happened before the command.

burst: for SECONDS, one screenshot of a presented frame at least GAP
seconds after the previous one, written as PREFIX-000.png, PREFIX-001.png...
and PREFIX.txt, one line per picture: its file and the server time (ms)
of its frame.

rate, press and burst print the frame rate they saw ("at 19.6 frames a
second", over a second or more), so that a failure can tell a machine too
busy to play from a game that ignores keys. Exits 1, saying why, when the display or the window cannot be
used or when no frame comes for 30 seconds; 2 on bad use.
"""
import ctypes
import ctypes.util
import os
import select
import struct
import sys
import time
import zlib

NO_FRAME_SECONDS = 30.0
# The menus' time between two keys, and what a hold keeps clear of it.
KEY_INTERVAL = 0.2
KEY_MARGIN = 0.03
# The longest hold about a frame's present, for a game too slow for the above.
SLOW_HOLD = 0.05


def library(name, fallback):
    return ctypes.CDLL(ctypes.util.find_library(name) or fallback)


x11 = library("X11", "libX11.so.6")
xtst = library("Xtst", "libXtst.so.6")
xdamage = library("Xdamage", "libXdamage.so.1")

c_display = ctypes.c_void_p
x11.XOpenDisplay.restype = c_display
x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
x11.XConnectionNumber.argtypes = [c_display]
x11.XPending.argtypes = [c_display]
x11.XNextEvent.argtypes = [c_display, ctypes.c_void_p]
x11.XSync.argtypes = [c_display, ctypes.c_int]
x11.XFlush.argtypes = [c_display]
x11.XStringToKeysym.restype = ctypes.c_ulong
x11.XStringToKeysym.argtypes = [ctypes.c_char_p]
x11.XKeysymToKeycode.restype = ctypes.c_ubyte
x11.XKeysymToKeycode.argtypes = [c_display, ctypes.c_ulong]
x11.XDefaultRootWindow.restype = ctypes.c_ulong
x11.XDefaultRootWindow.argtypes = [c_display]
x11.XCreateSimpleWindow.restype = ctypes.c_ulong
x11.XCreateSimpleWindow.argtypes = [c_display, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                    ctypes.c_uint, ctypes.c_uint, ctypes.c_uint,
                                    ctypes.c_ulong, ctypes.c_ulong]
x11.XSelectInput.argtypes = [c_display, ctypes.c_ulong, ctypes.c_long]
x11.XInternAtom.restype = ctypes.c_ulong
x11.XInternAtom.argtypes = [c_display, ctypes.c_char_p, ctypes.c_int]
x11.XChangeProperty.argtypes = [c_display, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_ulong,
                                ctypes.c_int, ctypes.c_int, ctypes.c_char_p, ctypes.c_int]
x11.XGetGeometry.argtypes = [c_display, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
                             ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_int),
                             ctypes.POINTER(ctypes.c_uint), ctypes.POINTER(ctypes.c_uint),
                             ctypes.POINTER(ctypes.c_uint), ctypes.POINTER(ctypes.c_uint)]
x11.XGetImage.restype = ctypes.c_void_p
x11.XGetImage.argtypes = [c_display, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_uint,
                          ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
x11.XFree.argtypes = [ctypes.c_void_p]
x11.XSetErrorHandler.restype = ctypes.c_void_p
xtst.XTestFakeKeyEvent.argtypes = [c_display, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
xdamage.XDamageQueryExtension.argtypes = [c_display, ctypes.POINTER(ctypes.c_int),
                                          ctypes.POINTER(ctypes.c_int)]
xdamage.XDamageCreate.restype = ctypes.c_ulong
xdamage.XDamageCreate.argtypes = [c_display, ctypes.c_ulong, ctypes.c_int]

DAMAGE_REPORT_RAW_RECTANGLES = 0
DAMAGE_NOTIFY = 0
PROPERTY_NOTIFY = 28
PROPERTY_CHANGE_MASK = 1 << 22
PROP_MODE_APPEND = 2
Z_PIXMAP = 2
ALL_PLANES = 0xFFFFFFFF


class XRectangle(ctypes.Structure):
    _fields_ = [("x", ctypes.c_short), ("y", ctypes.c_short),
                ("width", ctypes.c_ushort), ("height", ctypes.c_ushort)]


class XDamageNotifyEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("drawable", ctypes.c_ulong),
                ("damage", ctypes.c_ulong), ("level", ctypes.c_int), ("more", ctypes.c_int),
                ("timestamp", ctypes.c_ulong), ("area", XRectangle), ("geometry", XRectangle)]


class XPropertyEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
                ("atom", ctypes.c_ulong), ("time", ctypes.c_ulong), ("state", ctypes.c_int)]


class XImage(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.c_void_p),
                ("byte_order", ctypes.c_int), ("bitmap_unit", ctypes.c_int),
                ("bitmap_bit_order", ctypes.c_int), ("bitmap_pad", ctypes.c_int),
                ("depth", ctypes.c_int), ("bytes_per_line", ctypes.c_int),
                ("bits_per_pixel", ctypes.c_int), ("red_mask", ctypes.c_ulong),
                ("green_mask", ctypes.c_ulong), ("blue_mask", ctypes.c_ulong)]


class Failure(Exception):
    pass


# A window that goes away (the game ended) must end this with a message,
# not with Xlib's default handler's exit.
ERROR_HANDLER = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)
x_errors = []


@ERROR_HANDLER
def on_x_error(_display, _event):
    x_errors.append(1)
    return 0


class Frame:
    def __init__(self, server_ms, local):
        self.server_ms = server_ms
        self.local = local


class Window:
    """The game window, its presented frames and the X server's clock."""

    def __init__(self, wid):
        x11.XSetErrorHandler(on_x_error)
        self.display = x11.XOpenDisplay(None)
        if not self.display:
            raise Failure("cannot open the X display %s" % os.environ.get("DISPLAY", "(unset)"))
        self.wid = wid
        base, error = ctypes.c_int(), ctypes.c_int()
        if not xdamage.XDamageQueryExtension(self.display, ctypes.byref(base), ctypes.byref(error)):
            raise Failure("the X server has no DAMAGE extension")
        self.damage_event = base.value + DAMAGE_NOTIFY
        root, x, y = ctypes.c_ulong(), ctypes.c_int(), ctypes.c_int()
        width, height, border, depth = ctypes.c_uint(), ctypes.c_uint(), ctypes.c_uint(), ctypes.c_uint()
        if not x11.XGetGeometry(self.display, wid, ctypes.byref(root), ctypes.byref(x), ctypes.byref(y),
                                ctypes.byref(width), ctypes.byref(height), ctypes.byref(border),
                                ctypes.byref(depth)) or x_errors:
            raise Failure("there is no window 0x%x" % wid)
        self.width, self.height = width.value, height.value
        xdamage.XDamageCreate(self.display, wid, DAMAGE_REPORT_RAW_RECTANGLES)
        # A window of our own, never shown, whose property changes give the
        # server's time.
        self.clock_window = x11.XCreateSimpleWindow(self.display, x11.XDefaultRootWindow(self.display),
                                                    0, 0, 1, 1, 0, 0, 0)
        x11.XSelectInput(self.display, self.clock_window, PROPERTY_CHANGE_MASK)
        self.clock_atom = x11.XInternAtom(self.display, b"PRESENTED_FRAMES_CLOCK", 0)
        x11.XSync(self.display, 0)
        if x_errors:
            raise Failure("the window 0x%x cannot be watched" % wid)
        self.frames = []
        self.server_times = []
        self.event = ctypes.create_string_buffer(256)

    def _take_events(self, timeout):
        """Reads what has come, waiting up to TIMEOUT seconds for something."""
        if not x11.XPending(self.display):
            ready, _, _ = select.select([x11.XConnectionNumber(self.display)], [], [], max(0.0, timeout))
            if not ready and not x11.XPending(self.display):
                return
        now = time.monotonic()
        while x11.XPending(self.display):
            x11.XNextEvent(self.display, self.event)
            kind = ctypes.c_int.from_buffer(self.event).value
            if kind == self.damage_event:
                damage = XDamageNotifyEvent.from_buffer(self.event)
                if damage.area.width >= self.width and damage.area.height >= self.height:
                    self.frames.append(Frame(damage.timestamp, now))
            elif kind == PROPERTY_NOTIFY:
                self.server_times.append(XPropertyEvent.from_buffer(self.event).time)

    def wait_frames(self, count, after=None):
        """Waits until COUNT frames have been presented after local time AFTER
        (now by default); answers the last of them."""
        after = time.monotonic() if after is None else after
        deadline = time.monotonic() + NO_FRAME_SECONDS
        while True:
            fresh = [f for f in self.frames if f.local > after]
            if len(fresh) >= count:
                return fresh[count - 1]
            if x_errors:
                raise Failure("the window 0x%x is gone (the program ended?)%s" % (self.wid, self.rate_text()))
            if time.monotonic() > deadline:
                raise Failure("no frame presented for %d seconds%s" % (NO_FRAME_SECONDS, self.rate_text()))
            self._take_events(deadline - time.monotonic())

    def server_time(self):
        """The X server's clock now, in milliseconds."""
        count = len(self.server_times)
        x11.XChangeProperty(self.display, self.clock_window, self.clock_atom, self.clock_atom, 8,
                            PROP_MODE_APPEND, b"", 0)
        x11.XFlush(self.display)
        deadline = time.monotonic() + NO_FRAME_SECONDS
        while len(self.server_times) == count:
            if time.monotonic() > deadline:
                raise Failure("the X server does not answer")
            self._take_events(deadline - time.monotonic())
        return self.server_times[count]

    def intervals(self):
        times = [f.server_ms for f in self.frames]
        return [(b - a) / 1000.0 for a, b in zip(times, times[1:]) if b >= a]

    def rate(self):
        gaps = self.intervals()
        if not gaps:
            return 0.0
        return len(gaps) / max(0.001, sum(gaps))

    def rate_text(self):
        if len(self.frames) < 2:
            return " (%d frames seen)" % len(self.frames)
        return " at %.1f frames a second" % self.rate()

    def frame_time(self):
        """The median of the last frame intervals, measured over at least six
        frames or one second, whichever comes last."""
        start = time.monotonic()
        self.wait_frames(1, after=start - 1.0e9)
        while len(self.intervals()) < 6 or self.frames[-1].server_ms - self.frames[0].server_ms < 1000:
            self.wait_frames(1, after=self.frames[-1].local)
        gaps = sorted(self.intervals()[-12:])
        return gaps[len(gaps) // 2]

    def press(self, name):
        code = x11.XKeysymToKeycode(self.display, x11.XStringToKeysym(name.encode()))
        if not code:
            raise Failure("no key code for %s" % name)
        period = self.frame_time()
        # The server presses and lets go at the times asked for (XTEST's
        # delays), by its own clock: half way through a frame, N frames
        # after one it presented (N as small as the time it takes to ask
        # allows). A menu takes a held key again on a poll whose clock is
        # 0.2 s past the clock of the poll that took it, that clock being
        # the one of the frame before: the frame before the one presented,
        # at the earliest. So from that frame to the end of the hold stays
        # under 0.2 s (less a margin for the game's own timing), and within
        # that the hold is as long as it can be: a poll delayed past a frame
        # presented (a busy machine, Wine handing the key on) still sees
        # the key. A game too slow for one frame in that time is held for
        # one frame, half a frame after the one presented.
        for _ in range(100):
            frame = self.wait_frames(1)
            before = self.frames[self.frames.index(frame) - 1] if self.frames.index(frame) else frame
            now = self.server_time()
            later = 0
            while frame.server_ms + (later + 0.5) * period * 1000.0 < now + 1.0:
                later += 1
            delay = frame.server_ms + (later + 0.5) * period * 1000.0 - now
            hold = (KEY_INTERVAL - KEY_MARGIN - (frame.server_ms - before.server_ms) / 1000.0
                    - (later + 0.5) * period)
            if hold >= period:
                break
            if later == 0:
                # Too slow a game for a hold of a frame: a short one, shorter
                # than any interval between frames seen lately, about the
                # next frame's present, spans one poll at most (the one
                # after that present) or none, when the frame came early or
                # late: a key missed, pressed again by the caller.
                hold = max(0.005, min(SLOW_HOLD, 0.8 * min(self.intervals()[-12:])))
                delay = frame.server_ms + (period - hold / 2.0) * 1000.0 - now
                if delay >= 1.0:
                    break
        else:
            raise Failure("a hundred frames came and went before a key could be sent in time "
                          "after one of them%s" % self.rate_text())
        down = now + int(delay)
        xtst.XTestFakeKeyEvent(self.display, code, 1, int(delay))
        xtst.XTestFakeKeyEvent(self.display, code, 0, int(hold * 1000))
        x11.XSync(self.display, 0)
        up = down + int(hold * 1000)
        self.wait_frames(2)
        held = [f for f in self.frames if down <= f.server_ms <= up]
        return hold, len(held), period

    def image(self):
        x11.XSync(self.display, 0)
        pointer = x11.XGetImage(self.display, self.wid, 0, 0, self.width, self.height, ALL_PLANES, Z_PIXMAP)
        if not pointer or x_errors:
            raise Failure("the window's content cannot be read")
        image = XImage.from_address(pointer)
        try:
            if image.bits_per_pixel != 32 or image.depth not in (24, 32) or image.byte_order != 0:
                raise Failure("a window of %d bits a pixel cannot be read" % image.bits_per_pixel)
            line = image.bytes_per_line
            raw = ctypes.string_at(image.data, line * image.height)
        finally:
            x11.XFree(image.data)
            x11.XFree(pointer)
        rgb = bytearray(self.width * self.height * 3)
        for y in range(self.height):
            row = raw[y * line:y * line + self.width * 4]
            out = y * self.width * 3
            rgb[out:out + self.width * 3:3] = row[2::4]
            rgb[out + 1:out + self.width * 3:3] = row[1::4]
            rgb[out + 2:out + self.width * 3:3] = row[0::4]
        return bytes(rgb)

    def shot(self, path):
        frame = self.wait_frames(2)
        write_png(path, self.width, self.height, self.image())
        return frame


def write_png(path, width, height, rgb):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    stride = width * 3
    rows = b"".join(b"\0" + rgb[y * stride:(y + 1) * stride] for y in range(height))
    with open(path + ".part", "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n")
        out.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        out.write(chunk(b"IDAT", zlib.compress(rows, 1)))
        out.write(chunk(b"IEND", b""))
    os.replace(path + ".part", path)


def main(argv):
    if len(argv) < 3:
        sys.stderr.write(__doc__)
        return 2
    try:
        window = Window(int(argv[1], 0))
        command = argv[2]
        if command == "rate" and len(argv) == 4:
            start = time.monotonic()
            window.wait_frames(1, after=start)
            while time.monotonic() - start < float(argv[3]):
                window._take_events(start + float(argv[3]) - time.monotonic())
            print("%d frames in %s s:%s" % (len(window.frames), argv[3], window.rate_text()))
        elif command == "press" and len(argv) == 4:
            hold, held, period = window.press(argv[3])
            print("%s held %d ms (a frame: %d ms), %d frames presented meanwhile,%s"
                  % (argv[3], hold * 1000, period * 1000, held, window.rate_text()))
        elif command == "shot" and len(argv) == 4:
            window.shot(argv[3])
            print(argv[3])
        elif command == "burst" and len(argv) == 6:
            prefix, seconds, gap = argv[3], float(argv[4]), float(argv[5])
            start = time.monotonic()
            lines = []
            last = None
            while time.monotonic() - start < seconds:
                frame = window.wait_frames(1)
                if last is not None and (frame.server_ms - last) / 1000.0 < gap:
                    continue
                last = frame.server_ms
                name = "%s-%03d.png" % (prefix, len(lines))
                write_png(name, window.width, window.height, window.image())
                lines.append("%s %d\n" % (name, frame.server_ms))
            with open(prefix + ".txt", "w") as index:
                index.writelines(lines)
            print("%d pictures in %s s:%s" % (len(lines), argv[4], window.rate_text()))
        else:
            sys.stderr.write(__doc__)
            return 2
    except Failure as failure:
        print("presented_frames: %s" % failure)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
