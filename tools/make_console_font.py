#!/usr/bin/env python3
"""Draw the console's font picture and embed it in the engine.

The picture is 318 x 103 pixels, 4-bit palette, light glyphs on black,
cut by the engine into 16 x 32 cells, 20 to a cell row, in the console's
glyph order (59 cells: 20, 20, 19).  Every glyph is drawn from the 5 x 7
pixel patterns below, each pattern pixel 2 wide and 3 high, with a dim
drop shadow; the result is the same bytes on every run.

    python3 tools/make_console_font.py            # writes engine/ConsoleFontPicture.cpp
    python3 tools/make_console_font.py --png F    # also writes the PNG to F
"""

import os
import struct
import sys
import zlib

WIDTH, HEIGHT = 318, 103
CELL_W, CELL_H = 16, 32
CELLS_PER_ROW = 20
GLYPH_ORDER = " !\"#   '() +,-. 0123456789:;_=   ABCDEFGHIJKLMNOPQRSTUVWXYZ"
SCALE_X, SCALE_Y = 2, 3
ORIGIN_X, ORIGIN_Y = 2, 5       # top-left of the 10 x 21 glyph in its cell
WHITE, SHADOW = 15, 4           # palette indices

PATTERNS = {
    "!": ["..#..", "..#..", "..#..", "..#..", "..#..", ".....", "..#.."],
    '"': [".#.#.", ".#.#.", ".#.#.", ".....", ".....", ".....", "....."],
    "#": [".#.#.", ".#.#.", "#####", ".#.#.", "#####", ".#.#.", ".#.#."],
    "'": ["..#..", "..#..", ".#...", ".....", ".....", ".....", "....."],
    "(": ["...#.", "..#..", ".#...", ".#...", ".#...", "..#..", "...#."],
    ")": [".#...", "..#..", "...#.", "...#.", "...#.", "..#..", ".#..."],
    "+": [".....", "..#..", "..#..", "#####", "..#..", "..#..", "....."],
    ",": [".....", ".....", ".....", ".....", "..##.", "...#.", "..#.."],
    "-": [".....", ".....", ".....", "#####", ".....", ".....", "....."],
    ".": [".....", ".....", ".....", ".....", ".....", ".##..", ".##.."],
    "0": [".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."],
    "1": ["..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."],
    "2": [".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"],
    "3": ["#####", "...#.", "..#..", "...#.", "....#", "#...#", ".###."],
    "4": ["...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."],
    "5": ["#####", "#....", "####.", "....#", "....#", "#...#", ".###."],
    "6": ["..##.", ".#...", "#....", "####.", "#...#", "#...#", ".###."],
    "7": ["#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."],
    "8": [".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###."],
    "9": [".###.", "#...#", "#...#", ".####", "....#", "...#.", ".##.."],
    ":": [".....", ".##..", ".##..", ".....", ".##..", ".##..", "....."],
    ";": [".....", ".##..", ".##..", ".....", ".##..", "..#..", ".#..."],
    "_": [".....", ".....", ".....", ".....", ".....", ".....", "#####"],
    "=": [".....", ".....", "#####", ".....", "#####", ".....", "....."],
    "A": [".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "B": ["####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."],
    "C": [".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."],
    "D": ["###..", "#..#.", "#...#", "#...#", "#...#", "#..#.", "###.."],
    "E": ["#####", "#....", "#....", "####.", "#....", "#....", "#####"],
    "F": ["#####", "#....", "#....", "####.", "#....", "#....", "#...."],
    "G": [".###.", "#...#", "#....", "#.###", "#...#", "#...#", ".####"],
    "H": ["#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "I": [".###.", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."],
    "J": ["..###", "...#.", "...#.", "...#.", "...#.", "#..#.", ".##.."],
    "K": ["#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"],
    "L": ["#....", "#....", "#....", "#....", "#....", "#....", "#####"],
    "M": ["#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"],
    "N": ["#...#", "#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#"],
    "O": [".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "P": ["####.", "#...#", "#...#", "####.", "#....", "#....", "#...."],
    "Q": [".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"],
    "R": ["####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"],
    "S": [".####", "#....", "#....", ".###.", "....#", "....#", "####."],
    "T": ["#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."],
    "U": ["#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "V": ["#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."],
    "W": ["#...#", "#...#", "#...#", "#.#.#", "#.#.#", "#.#.#", ".#.#."],
    "X": ["#...#", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", "#...#"],
    "Y": ["#...#", "#...#", ".#.#.", "..#..", "..#..", "..#..", "..#.."],
    "Z": ["#####", "....#", "...#.", "..#..", ".#...", "#....", "#####"],
}


def cell_origin(i):
    return (i % CELLS_PER_ROW) * CELL_W, (i // CELLS_PER_ROW) * CELL_H


def draw():
    pixels = [[0] * WIDTH for _ in range(HEIGHT)]

    def plot(x, y, value):
        # Only the lower-value shadow may be overwritten by the glyph.
        if 0 <= x < WIDTH and 0 <= y < HEIGHT and pixels[y][x] < value:
            pixels[y][x] = value

    for i, ch in enumerate(GLYPH_ORDER):
        pattern = PATTERNS.get(ch)
        if pattern is None:
            continue
        cx, cy = cell_origin(i)
        for pass_value, dx, dy in ((SHADOW, 1, 1), (WHITE, 0, 0)):
            for row, bits in enumerate(pattern):
                for col, bit in enumerate(bits):
                    if bit != "#":
                        continue
                    for sy in range(SCALE_Y):
                        for sx in range(SCALE_X):
                            plot(cx + ORIGIN_X + col * SCALE_X + sx + dx,
                                 cy + ORIGIN_Y + row * SCALE_Y + sy + dy,
                                 pass_value)
    return pixels


def png_bytes(pixels):
    palette = bytearray()
    for i in range(16):
        level = i * 17
        palette += bytes((level, level, level))
    raw = bytearray()
    for row in pixels:
        raw.append(0)
        padded = row + [0] * (len(row) % 2)
        for x in range(0, len(padded), 2):
            raw.append((padded[x] << 4) | padded[x + 1])

    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body
                + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", WIDTH, HEIGHT, 4, 3, 0, 0, 0))
            + chunk(b"PLTE", bytes(palette))
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9))
            + chunk(b"IEND", b""))


def cpp_source(data):
    lines = [
        "// Generated by tools/make_console_font.py; do not edit.",
        "// The console's font picture: a 318 x 103 PNG, 4-bit palette,",
        "// 16 x 32 cells in the console glyph order.",
        '#include "ConsoleFontPicture.h"',
        "",
        "const unsigned char consoleFontPicture[] = {",
    ]
    for i in range(0, len(data), 16):
        lines.append("    " + " ".join("0x%02x," % b for b in data[i:i + 16]))
    lines.append("};")
    lines.append("")
    lines.append("const int consoleFontPictureSize = %d;" % len(data))
    return "\n".join(lines) + "\n"


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    out = os.path.join(here, "..", "engine", "ConsoleFontPicture.cpp")
    data = png_bytes(draw())
    if len(argv) == 3 and argv[1] == "--png":
        with open(argv[2], "wb") as f:
            f.write(data)
    elif len(argv) != 1:
        sys.exit("usage: make_console_font.py [--png FILE]")
    with open(out, "w", newline="\n") as f:
        f.write(cpp_source(data))


if __name__ == "__main__":
    main(sys.argv)
