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

    screen_check.py floor FILE ARCHIVE X0 X1 Y0 Y1 Y0 Y1 Y0 Y1
        the race track's floor: passes when at least two of the three strips
        (X0..X1 by Y0..Y1) are in one of the first level's tile colours, each
        the median of its tile picture, alone or times the mean of the
        detail picture laid over it (both read from the game's archive, as
        content.xml names them; racer_gl on a driver without swap control
        draws the tiles with one texture unit, without the detail): the
        strip's median within FLOOR_DISTANCE of one of them, and nearer to
        it than to the level's backdrop. Medians, so that the
        white arrows on the tiles and the dark edges between them do not
        count; one strip may still straddle a gap or a row of another kind.
    screen_check.py bluer FILE X0 Y0 X1 Y1 X0 Y0 X1 Y1 MIN
        passes when at least MIN (a fraction) of the pixels of the first
        rectangle (around the ship) are bluer than the second (the floor
        under it) by SHIP_BLUER: blue less red, against the floor's mean.

    screen_check.py race INDEX X0 Y0 X1 Y1 X0 Y0 X1 Y1 X0 Y0 X1 Y1
        picks two frames of a race from a burst of screenshots (INDEX: one
        line per picture, its file and its time in ms, as
        presented_frames.py burst writes it). The rectangles: where the
        countdown, "GO!" and a crash show their text; the race time's
        figure; the score's label, there on every frame of a race. A race
        frame has the label and no text in the middle; the two picked are
        race frames at least a second apart with none but race frames
        between them, and another race time. Prints the two files; fails,
        saying which, when no race shows for a second or its time does not
        change.

    screen_check.py darkest FILE X0 X1 Y0 STEP COUNT
        prints the number (from 0) of the darkest of COUNT bands STEP
        pixels high from Y0, over X0..X1: the main menu's highlight bar.

Prints the measure either way; exits 0 on pass, 1 on fail, 2 on bad use.
Screenshots of presented_frames.py are read here; other pictures through
ImageMagick's convert as raw 8-bit RGB, on one thread (convert's threads,
one a core, only crowd a busy machine).
"""
import os
import struct
import subprocess
import sys
import zlib
import xml.etree.ElementTree as ElementTree
import zipfile

# How far (RGB distance) a strip of the floor may be from its tile's colour:
# the track is lit and fogged towards the horizon. The backdrop seen where
# the track is missing is 50 and more from every tile colour.
FLOOR_DISTANCE = 30.0
# How much bluer (blue less red) than the floor a pixel of the ship is: its
# hull is a deep teal, the tiles grey-blue or green with white arrows.
SHIP_BLUER = 40


def plain_png(data):
    """The pixels of a PNG as presented_frames.py writes them (8-bit RGB,
    no interlace, no row filter), or None for any other PNG."""
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        return None
    pos, header, packed = 8, None, []
    while pos + 8 <= len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            packed.append(body)
        elif kind == b"IEND":
            break
        pos += 12 + length
    if not header or header[2:] != (8, 2, 0, 0, 0):
        return None
    width, height = header[0], header[1]
    rows = zlib.decompress(b"".join(packed))
    stride = width * 3 + 1
    if len(rows) != stride * height or any(rows[y * stride] for y in range(height)):
        return None
    return width, height, b"".join(rows[y * stride + 1:(y + 1) * stride] for y in range(height))


def load(path, data=None):
    if data is None:
        with open(path, "rb") as picture:
            plain = plain_png(picture.read())
        if plain:
            return plain
    source = path if data is None else "-"
    env = dict(os.environ, MAGICK_THREAD_LIMIT="1")
    out = subprocess.run(["convert", source, "-depth", "8", "ppm:-"], check=True, input=data,
                         stdout=subprocess.PIPE, env=env).stdout
    # P6 header: magic, width, height, maxval, each followed by white space;
    # a comment runs from "#" to the end of its line.
    fields = []
    pos = 0
    while len(fields) < 4:
        while out[pos:pos + 1].isspace():
            pos += 1
        if out[pos:pos + 1] == b"#":
            pos = out.index(b"\n", pos)
            continue
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


def mean(values):
    values = list(values)
    count = max(1, len(values))
    return tuple(sum(p[c] for p in values) / count for c in range(3))


def median(values):
    values = list(values)
    return tuple(sorted(p[c] for p in values)[len(values) // 2] for c in range(3)) if values else (0, 0, 0)


def distance(a, b):
    return sum((p - q) ** 2 for p, q in zip(a, b)) ** 0.5


def level_colours(archive):
    """The first level's tile colours and its backdrop's, from ARCHIVE."""
    with zipfile.ZipFile(archive) as members:
        root = ElementTree.fromstring(members.read("content.xml"))
        level = root.find("levels/level")

        def picture(name, measure):
            width, height, data = load(name, members.read(name.strip()))
            return measure(pixels((width, height, data), 0, 0, width, height))

        detail = picture(root.find("common/detail").text, mean)
        tiles = {}
        for kind in ("tileSlow", "tileNormal", "tileFast", "tileVeryFast"):
            colour = picture(level.find(kind).text, median)
            tiles[kind] = colour
            tiles[kind + "+detail"] = tuple(c * d / 255.0 for c, d in zip(colour, detail))
        return tiles, picture(level.find("background").text, median)


def floor(argv):
    picture = load(argv[2])
    tiles, backdrop = level_colours(argv[3])
    x0, x1 = int(argv[4]), int(argv[5])
    bands = [tuple(map(int, argv[i:i + 2])) for i in range(6, len(argv), 2)]
    matched = 0
    report = []
    for y0, y1 in bands:
        colour = median(pixels(picture, x0, y0, x1, y1))
        kind = min(tiles, key=lambda k: distance(colour, tiles[k]))
        near = distance(colour, tiles[kind])
        ok = near <= FLOOR_DISTANCE and near < distance(colour, backdrop)
        matched += ok
        report.append("y %d-%d (%.0f,%.0f,%.0f) %s at %.0f, backdrop at %.0f%s"
                      % (y0, y1, colour[0], colour[1], colour[2], kind, near,
                         distance(colour, backdrop), "" if ok else " (no tile)"))
    ok = matched >= min(2, len(bands))
    print("floor %s: %s %s" % (argv[2], "; ".join(report), "ok" if ok else "FAIL"))
    return 0 if ok else 1


def bright_share(picture, box):
    values = list(pixels(picture, *box))
    return sum(1 for p in values if min(p) > 200) / max(1, len(values))


def text_change(a, b, box):
    pa, pb = list(pixels(a, *box)), list(pixels(b, *box))
    return sum(1 for p, q in zip(pa, pb) if (min(p) > 200) != (min(q) > 200)) / max(1, len(pa))


def race(argv):
    middle = tuple(map(int, argv[3:7]))
    clock = tuple(map(int, argv[7:11]))
    hud = tuple(map(int, argv[11:15]))
    with open(argv[2]) as index:
        frames = [(name, int(ms)) for name, ms in (line.split() for line in index if line.strip())]
    first = None
    stood = None
    for name, ms in frames:
        picture = load(name)
        racing = bright_share(picture, hud) >= 0.05 and bright_share(picture, middle) < 0.03
        if not racing:
            # Loading, the countdown, "GO!", a ship falling: the race, if it
            # started, is over; the next one is looked for.
            first = None
            continue
        if first is None:
            first = (name, ms, picture)
            continue
        if ms - first[1] < 1000:
            continue
        if text_change(first[2], picture, clock) < 0.01:
            stood = "the race time on %s, %d ms after %s, is the same" % (name, ms - first[1], first[0])
            first = (name, ms, picture)
            continue
        print("%s %s" % (first[0], name))
        return 0
    if stood:
        print("race %s: %s: the race stands still FAIL" % (argv[2], stood))
    else:
        print("race %s: among %d frames, none with the head-up display and no text in the middle "
              "for a second: no race FAIL" % (argv[2], len(frames)))
    return 1


def main(argv):
    if len(argv) < 2:
        return 2
    mode = argv[1]
    if mode == "floor" and len(argv) >= 8 and len(argv) % 2 == 0:
        return floor(argv)
    if mode == "race" and len(argv) == 15:
        return race(argv)
    if mode == "bluer" and len(argv) == 12:
        picture = load(argv[2])
        boxes = [list(map(int, argv[i:i + 4])) for i in (3, 7)]
        wanted = float(argv[11])
        under = mean(pixels(picture, *boxes[1]))
        ship = list(pixels(picture, *boxes[0]))
        if not ship:
            return 2
        measure = sum(1 for p in ship if p[2] - p[0] > under[2] - under[0] + SHIP_BLUER) / len(ship)
    elif mode == "darkest" and len(argv) == 8:
        picture = load(argv[2])
        x0, x1, y0, step, count = map(int, argv[3:8])
        means = []
        for band in range(count):
            values = list(pixels(picture, x0, y0 + band * step, x1, y0 + (band + 1) * step))
            means.append(sum(sum(p) for p in values) / max(1, len(values)))
        print(means.index(min(means)))
        return 0
    elif mode in ("bright", "busy") and len(argv) == 8:
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
            average = sum(lum) / len(lum)
            measure = (sum((v - average) ** 2 for v in lum) / len(lum)) ** 0.5
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
