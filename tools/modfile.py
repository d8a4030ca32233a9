#!/usr/bin/env python3
"""Write tracker music modules (ProTracker MOD, 4, 6 or 8 channels).

A small, deterministic writer for the game's music: the module is built from
synthesized 8-bit samples and patterns of 64 rows, and the same input always
gives the same bytes.  The result plays in any MOD player, libxmp included.

Usage as a library::

    import modfile

    song = modfile.Module("race theme", channels=4)
    lead = song.add_sample(modfile.tone("square", volume=48, name="lead"))
    bass = song.add_sample(modfile.tone("saw", volume=64, name="bass"))
    kick = song.add_sample(modfile.drum("kick"))

    p = song.add_pattern()              # index 0, 64 empty rows
    for row in range(0, 64, 8):
        p.note(row, 0, "C-3", lead)
        p.note(row, 1, "C-1", bass)
        p.note(row, 3, "C-2", kick)
    p.effect(63, 2, 0xD, 0x00)          # pattern break
    song.order = [0, 0]                 # play pattern 0 twice
    song.speed(p, 6, bpm=125)           # F-effects on row 0 of p, channel 2

    song.save("race.mod")               # or: data = song.to_bytes()

API:

``Module(title="", channels=4)``
    ``title`` is cut to 20 bytes; ``channels`` is 4, 6 or 8.
    ``add_sample(sample) -> int``: sample number (1..31) to use in notes.
    ``add_pattern() -> Pattern``: a new empty pattern, appended; its index
    is ``pattern.index``.  At most 64 patterns.
    ``order``: list of pattern indices (1..128 entries); defaults to every
    pattern once, in creation order.
    ``speed(pattern, ticks, bpm=None, row=0, channel=0)``: sets speed (ticks
    per row, 1..31) and optionally tempo (32..255) with Fxx effects.
    ``to_bytes() -> bytes``, ``save(path)``.

``Pattern``
    ``note(row, channel, note, sample, effect=None, param=0)``: ``note`` is
    a name "C-1" .. "B-3" (sharps as "C#2"), or None for no note; without
    ``effect`` the cell keeps the effect already placed there.
    ``effect(row, channel, effect, param)``: an effect without a note
    (0xC volume, 0xD pattern break, 0xF speed/tempo, ...).

``Sample(data, volume=64, loop_start=None, loop_length=0, finetune=0,
name="")``
    ``data``: signed 8-bit values (-128..127), even length at most 131070.
    A loop is given in samples (even numbers); no loop by default.

``tone(wave, cycle=32, cycles=64, volume=64, name="")``
    A looped instrument of one waveform: "sine", "square", "saw",
    "triangle" or "noise".  A cycle of 32 samples sounds at the note played
    (C-2 gives about 260 Hz).
``drum(kind, length=2048, volume=64, name="")``
    A one-shot percussion sample: "kick", "snare" or "hihat".

Command line::

    python3 tools/modfile.py demo OUT.mod    # a short four-channel tune
"""

import math
import struct
import sys

# Amiga periods of the three ProTracker octaves, finetune 0.
PERIODS = [
    856, 808, 762, 720, 678, 640, 604, 570, 538, 508, 480, 453,
    428, 404, 381, 360, 339, 320, 302, 285, 269, 254, 240, 226,
    214, 202, 190, 180, 170, 160, 151, 143, 135, 127, 120, 113,
]
NOTE_NAMES = ["C-", "C#", "D-", "D#", "E-", "F-", "F#", "G-", "G#", "A-", "A#", "B-"]
ROWS = 64
CHANNEL_TAGS = {4: b"M.K.", 6: b"6CHN", 8: b"8CHN"}


def period(note):
    """Amiga period of a note name such as "C-2" or "F#1"."""
    if len(note) != 3 or note[:2].upper() not in NOTE_NAMES or note[2] not in "123":
        raise ValueError("note must be C-1 .. B-3, got %r" % (note,))
    return PERIODS[(int(note[2]) - 1) * 12 + NOTE_NAMES.index(note[:2].upper())]


class Sample:
    def __init__(self, data, volume=64, loop_start=None, loop_length=0, finetune=0, name=""):
        data = [int(v) for v in data]
        if len(data) % 2:
            data.append(0)
        if not 2 <= len(data) <= 131070:
            raise ValueError("sample length must be 2 .. 131070")
        if any(v < -128 or v > 127 for v in data):
            raise ValueError("sample values are signed 8-bit")
        if not 0 <= volume <= 64:
            raise ValueError("volume is 0 .. 64")
        if not -8 <= finetune <= 7:
            raise ValueError("finetune is -8 .. 7")
        if loop_start is not None:
            if loop_start % 2 or loop_length % 2 or loop_length < 2 or \
               loop_start + loop_length > len(data):
                raise ValueError("loop must be even and inside the sample")
        self.data = data
        self.volume = volume
        self.loop_start = loop_start
        self.loop_length = loop_length
        self.finetune = finetune
        self.name = name

    def header(self):
        name = self.name.encode("latin-1")[:22].ljust(22, b"\0")
        if self.loop_start is None:
            repeat, replen = 0, 1
        else:
            repeat, replen = self.loop_start // 2, self.loop_length // 2
        return name + struct.pack(">HBBHH", len(self.data) // 2, self.finetune & 0x0F,
                                  self.volume, repeat, replen)

    def body(self):
        return bytes(v & 0xFF for v in self.data)


class _Noise:
    """Deterministic pseudo-random values in -1 .. 1."""

    def __init__(self, seed):
        self.state = seed

    def next(self):
        self.state = (self.state * 1103515245 + 12345) & 0x7FFFFFFF
        return (self.state >> 8) / float(1 << 22) - 1.0


def _wave(wave, phase, noise):
    if wave == "sine":
        return math.sin(2 * math.pi * phase)
    if wave == "square":
        return 1.0 if phase < 0.5 else -1.0
    if wave == "saw":
        return 2.0 * phase - 1.0
    if wave == "triangle":
        return 4.0 * phase - 1.0 if phase < 0.5 else 3.0 - 4.0 * phase
    if wave == "noise":
        return noise.next()
    raise ValueError("unknown wave %r" % (wave,))


def _to8(v):
    return max(-128, min(127, int(round(v * 127))))


def tone(wave, cycle=32, cycles=64, volume=64, name=""):
    noise = _Noise(12345)
    data = [_to8(_wave(wave, (i % cycle) / float(cycle), noise)) for i in range(cycle * cycles)]
    return Sample(data, volume=volume, loop_start=0, loop_length=len(data) + len(data) % 2,
                  name=name or wave)


def drum(kind, length=2048, volume=64, name=""):
    noise = _Noise(4242)
    data = []
    for i in range(length):
        t = i / float(length)
        if kind == "kick":
            # A sine falling from about 150 Hz to 40 Hz at 8287 Hz playback.
            phase = 2 * math.pi * (150 * t - 55 * t * t) * length / 8287.0
            v = math.sin(phase) * (1 - t) ** 2
        elif kind == "snare":
            v = (0.7 * noise.next() + 0.3 * math.sin(2 * math.pi * i / 40.0)) * (1 - t) ** 3
        elif kind == "hihat":
            v = noise.next() * (1 - t) ** 6
        else:
            raise ValueError("unknown drum %r" % (kind,))
        data.append(_to8(v))
    return Sample(data, volume=volume, name=name or kind)


class Pattern:
    def __init__(self, index, channels):
        self.index = index
        self.channels = channels
        self.cells = [[(0, 0, 0, 0) for _ in range(channels)] for _ in range(ROWS)]

    def _check(self, row, channel):
        if not 0 <= row < ROWS or not 0 <= channel < self.channels:
            raise ValueError("row 0..63 and channel 0..%d" % (self.channels - 1))

    def note(self, row, channel, note, sample, effect=None, param=0):
        self._check(row, channel)
        if not 0 <= sample <= 31:
            raise ValueError("sample number is 0 .. 31")
        if effect is None:
            # Keep an effect already placed in the cell (speed, break...).
            _, _, effect, param = self.cells[row][channel]
        if not 0 <= effect <= 15 or not 0 <= param <= 255:
            raise ValueError("effect 0..15, parameter 0..255")
        self.cells[row][channel] = (period(note) if note else 0, sample, effect, param)

    def effect(self, row, channel, effect, param):
        self._check(row, channel)
        per, sample, _, _ = self.cells[row][channel]
        if not 0 <= effect <= 15 or not 0 <= param <= 255:
            raise ValueError("effect 0..15, parameter 0..255")
        self.cells[row][channel] = (per, sample, effect, param)

    def to_bytes(self):
        out = bytearray()
        for row in self.cells:
            for per, sample, effect, param in row:
                out += bytes([(sample & 0xF0) | (per >> 8), per & 0xFF,
                              ((sample & 0x0F) << 4) | effect, param])
        return bytes(out)


class Module:
    def __init__(self, title="", channels=4):
        if channels not in CHANNEL_TAGS:
            raise ValueError("channels must be 4, 6 or 8")
        self.title = title
        self.channels = channels
        self.samples = []
        self.patterns = []
        self.order = None

    def add_sample(self, sample):
        if len(self.samples) >= 31:
            raise ValueError("at most 31 samples")
        self.samples.append(sample)
        return len(self.samples)

    def add_pattern(self):
        if len(self.patterns) >= 64:
            raise ValueError("at most 64 patterns")
        p = Pattern(len(self.patterns), self.channels)
        self.patterns.append(p)
        return p

    def speed(self, pattern, ticks, bpm=None, row=0, channel=0):
        if not 1 <= ticks <= 31:
            raise ValueError("speed is 1 .. 31 ticks per row")
        pattern.effect(row, channel, 0xF, ticks)
        if bpm is not None:
            if not 32 <= bpm <= 255:
                raise ValueError("tempo is 32 .. 255")
            pattern.effect(row, (channel + 1) % self.channels, 0xF, bpm)

    def to_bytes(self):
        if not self.patterns:
            raise ValueError("a module needs at least one pattern")
        order = list(range(len(self.patterns))) if self.order is None else list(self.order)
        if not 1 <= len(order) <= 128 or any(not 0 <= i < len(self.patterns) for i in order):
            raise ValueError("order: 1..128 indices of existing patterns")
        out = bytearray(self.title.encode("latin-1")[:20].ljust(20, b"\0"))
        for i in range(31):
            if i < len(self.samples):
                out += self.samples[i].header()
            else:
                out += b"\0" * 22 + struct.pack(">HBBHH", 0, 0, 0, 0, 1)
        out += bytes([len(order), 127]) + bytes(order).ljust(128, b"\0")
        out += CHANNEL_TAGS[self.channels]
        # Every pattern up to the highest one in the order table is stored.
        for p in self.patterns[:max(order) + 1]:
            out += p.to_bytes()
        for s in self.samples:
            out += s.body()
        return bytes(out)

    def save(self, path):
        with open(path, "wb") as f:
            f.write(self.to_bytes())


def demo():
    """A short, cheerful four-channel loop: lead, bass, drums."""
    song = Module("quorin demo", channels=4)
    lead = song.add_sample(tone("square", volume=40, name="lead"))
    bass = song.add_sample(tone("saw", volume=56, name="bass"))
    kick = song.add_sample(drum("kick"))
    hat = song.add_sample(drum("hihat", length=512, volume=40))
    melody = ["C-3", "E-3", "G-3", "E-3", "A-2", "C-3", "E-3", "C-3"]
    roots = ["C-1", "C-1", "A-1", "A-1", "F-1", "F-1", "G-1", "G-1"]
    p = song.add_pattern()
    song.speed(p, 6, bpm=125, channel=2)
    for step in range(8):
        row = step * 8
        p.note(row, 0, melody[step], lead)
        p.note(row, 1, roots[step], bass)
        p.note(row, 3, "C-2", kick)
        p.note(row + 4, 3, "C-3", hat)
    song.order = [0, 0]
    return song


def main(argv):
    if len(argv) == 3 and argv[1] == "demo":
        demo().save(argv[2])
        return 0
    sys.stderr.write("usage: modfile.py demo OUT.mod\n")
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
