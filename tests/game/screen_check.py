#!/usr/bin/env python3
"""Measures regions of a screenshot of the game, for the whole-program tests.

    screen_check.py bright FILE X0 Y0 X1 Y1 MIN
        passes when at least MIN (a fraction) of the pixels of the rectangle
        are bright (every channel above 200): text is drawn white.
    screen_check.py differ FILE_A FILE_B X0 Y0 X1 Y1 MIN
        passes when the mean absolute difference of the two pictures over
        the rectangle is at least MIN (0-255).
    screen_check.py text-differ FILE_A FILE_B X0 Y0 X1 Y1 MIN
        passes when at least MIN (a fraction) of the pixels of the rectangle
        are bright (white text) in one picture and not in the other: the
        text there changed, whatever moves behind it.
    screen_check.py busy FILE X0 Y0 X1 Y1 MIN
        passes when the standard deviation of the brightness over the
        rectangle is at least MIN: something is drawn there, not one flat
        colour.

    screen_check.py darkest FILE X0 X1 Y0 STEP COUNT
        prints the number (from 0) of the darkest of COUNT bands STEP
        pixels high from Y0, over X0..X1: the main menu's highlight bar.

Prints the measure either way; exits 0 on pass, 1 on fail, 2 on bad use.
Pictures are read through ImageMagick's convert as raw 8-bit RGB.
"""
import subprocess
import sys


def load(path):
    out = subprocess.run(["convert", path, "-depth", "8", "ppm:-"], check=True,
                         stdout=subprocess.PIPE).stdout
    # P6 header: magic, width, height, maxval, each followed by white space.
    fields = []
    pos = 0
    while len(fields) < 4:
        while out[pos:pos + 1].isspace():
            pos += 1
        start = pos
        while not out[pos:pos + 1].isspace():
            pos += 1
        fields.append(out[start:pos])
    pos += 1
    width, height = int(fields[1]), int(fields[2])
    return width, height, out[pos:]


def pixels(picture, x0, y0, x1, y1):
    width, height, data = picture
    for y in range(max(0, y0), min(height, y1)):
        row = y * width * 3
        for x in range(max(0, x0), min(width, x1)):
            i = row + x * 3
            yield data[i], data[i + 1], data[i + 2]


def main(argv):
    if len(argv) < 2:
        return 2
    mode = argv[1]
    if mode == "darkest" and len(argv) == 8:
        picture = load(argv[2])
        x0, x1, y0, step, count = map(int, argv[3:8])
        means = []
        for band in range(count):
            values = list(pixels(picture, x0, y0 + band * step, x1, y0 + (band + 1) * step))
            means.append(sum(sum(p) for p in values) / max(1, len(values)))
        print(means.index(min(means)))
        return 0
    if mode in ("bright", "busy") and len(argv) == 8:
        picture = load(argv[2])
        x0, y0, x1, y1 = map(int, argv[3:7])
        wanted = float(argv[7])
        values = list(pixels(picture, x0, y0, x1, y1))
        if not values:
            return 2
        if mode == "bright":
            measure = sum(1 for p in values if min(p) > 200) / len(values)
        else:
            lum = [sum(p) / 3.0 for p in values]
            mean = sum(lum) / len(lum)
            measure = (sum((v - mean) ** 2 for v in lum) / len(lum)) ** 0.5
    elif mode in ("text-differ", "differ") and len(argv) == 9:
        a, b = load(argv[2]), load(argv[3])
        x0, y0, x1, y1 = map(int, argv[4:8])
        wanted = float(argv[8])
        pa = list(pixels(a, x0, y0, x1, y1))
        pb = list(pixels(b, x0, y0, x1, y1))
        if not pa or len(pa) != len(pb):
            return 2
        if mode == "text-differ":
            measure = sum(1 for p, q in zip(pa, pb) if (min(p) > 200) != (min(q) > 200)) / len(pa)
        else:
            measure = sum(abs(p[0] - q[0]) + abs(p[1] - q[1]) + abs(p[2] - q[2])
                          for p, q in zip(pa, pb)) / (3.0 * len(pa))
    else:
        return 2
    ok = measure >= wanted
    print("%s %s: %.4f (want >= %s) %s" % (mode, " ".join(argv[2:-1]), measure, argv[-1],
                                          "ok" if ok else "FAIL"))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
