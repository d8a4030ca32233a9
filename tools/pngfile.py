"""Minimal deterministic PNG writer (8-bit RGB or RGBA), zlib only."""
import struct
import zlib


def _chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def _paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def encode(width, height, pixels, alpha=False):
    """pixels: list of rows, each a list of (r, g, b) or (r, g, b, a) tuples.

    Each row is filtered with the cheapest of the None, Sub and Up filters,
    which keeps smooth gradients and noise pictures small.
    """
    channels = 4 if alpha else 3
    raw = bytearray()
    prev = bytes(width * channels)
    for y in range(height):
        row = pixels[y]
        if len(row) != width:
            raise ValueError("row %d has %d pixels, expected %d" % (y, len(row), width))
        line = bytearray()
        for px in row:
            line.extend(int(max(0, min(255, v))) for v in px[:channels])
        line = bytes(line)
        sub = bytes((line[i] - (line[i - channels] if i >= channels else 0)) & 255 for i in range(len(line)))
        up = bytes((line[i] - prev[i]) & 255 for i in range(len(line)))
        best = min(((0, line), (1, sub), (2, up)),
                   key=lambda c: sum(v if v < 128 else 256 - v for v in c[1]))
        raw.append(best[0])
        raw.extend(best[1])
        prev = line
    colour_type = 6 if alpha else 2
    header = struct.pack(">IIBBBBB", width, height, 8, colour_type, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + _chunk(b"IHDR", header)
            + _chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + _chunk(b"IEND", b""))
