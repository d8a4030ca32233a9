"""Synthesises the game's sound effects as 16-bit mono WAV files.

`sounds()` returns a dict of archive member name -> WAV bytes.  The noise
comes from a fixed linear congruential generator, so the output never varies.
"""
import math
import struct

RATE = 22050


def wav(samples, rate=RATE):
    """16-bit PCM mono WAV from floats in -1..1."""
    data = b"".join(struct.pack("<h", int(max(-1.0, min(1.0, s)) * 32000)) for s in samples)
    fmt = struct.pack("<HHIIHH", 1, 1, rate, rate * 2, 2, 16)
    body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt + b"data" + struct.pack("<I", len(data)) + data
    return b"RIFF" + struct.pack("<I", len(body)) + body


class Lcg:
    def __init__(self, seed):
        self.state = seed

    def next(self):
        self.state = (self.state * 1103515245 + 12345) & 0x7FFFFFFF
        return self.state / 0x3FFFFFFF - 1.0


def _envelope(i, n, attack=0.004, release=0.3):
    t = i / RATE
    a = min(1.0, t / attack) if attack > 0 else 1.0
    r = max(0.0, 1.0 - (i / n)) ** (1.0 / max(release, 1e-3))
    return a * r


def tone(seconds, freq_at, shape="square", volume=0.6, release=0.5):
    n = int(seconds * RATE)
    out = []
    phase = 0.0
    for i in range(n):
        phase += freq_at(i / n) / RATE
        p = phase % 1.0
        if shape == "square":
            s = 1.0 if p < 0.5 else -1.0
            s *= 0.6
        elif shape == "triangle":
            s = 4 * abs(p - 0.5) - 1
        else:
            s = math.sin(2 * math.pi * p)
        out.append(s * volume * _envelope(i, n, release=release))
    return out


def mix(*layers):
    n = max(len(l) for l in layers)
    return [sum(l[i] for l in layers if i < len(l)) for i in range(n)]


def click_select():
    return tone(0.045, lambda t: 1500.0, "square", 0.45, 0.3)


def click_validate():
    # Also the countdown beep: short and clear.
    return mix(tone(0.16, lambda t: 880.0, "square", 0.45, 0.6),
               tone(0.16, lambda t: 1760.0, "sine", 0.2, 0.4))


def go():
    return mix(tone(0.55, lambda t: 1318.5, "square", 0.35, 0.8),
               tone(0.55, lambda t: 1661.2, "sine", 0.25, 0.8),
               tone(0.55, lambda t: 1975.5, "sine", 0.2, 0.8))


def jump():
    return tone(0.28, lambda t: 260.0 + 700.0 * t, "triangle", 0.6, 0.7)


def death():
    rng = Lcg(1234)
    n = int(1.1 * RATE)
    noise = []
    low = 0.0
    for i in range(n):
        t = i / n
        cutoff = 0.35 * (1.0 - t) + 0.02
        low += (rng.next() - low) * cutoff
        noise.append(low * 1.4 * (1.0 - t) ** 1.5)
    sweep = tone(1.1, lambda t: 420.0 * (1.0 - 0.8 * t), "square", 0.3, 1.0)
    return mix(noise, sweep)


def sounds():
    return {
        "sounds/select.wav": wav(click_select()),
        "sounds/validate.wav": wav(click_validate()),
        "sounds/go.wav": wav(go()),
        "sounds/jump.wav": wav(jump()),
        "sounds/death.wav": wav(death()),
    }
