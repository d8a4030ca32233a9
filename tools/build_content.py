#!/usr/bin/env python3
"""Builds the game's archive quorin.zip from content/ and the generators.

    python3 tools/build_content.py --content content --out build/bin/quorin.zip
        [--fonts /usr/share/fonts/truetype/dejavu] [--skip-drive]

Steps: read content/content.xml; generate pictures, sounds, music, ship
meshes and tracks; copy the two DejaVu fonts and their licence; check the
content (every named member exists, member names follow the engine's rules,
every screen text can be drawn with the fonts' glyph set, each level starts
on free rows and uses all four floors, and every ship finishes every level
with the game's physics at several frame rates); then write the zip with
fixed timestamps, members sorted, deflated.  Any failed check stops the
build with a message naming the problem.
"""
import argparse
import multiprocessing
import os
import sys
import xml.etree.ElementTree as ET
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import make_meshes  # noqa: E402
import make_music  # noqa: E402
import make_pictures  # noqa: E402
import make_sounds  # noqa: E402
import make_tracks  # noqa: E402
import shipsim  # noqa: E402

FONTS = ("DejaVuSans.ttf", "DejaVuSans-Bold.ttf")
FONT_LICENCE = "/usr/share/doc/fonts-dejavu-core/copyright"
# The TrueType builder's default glyph set (ISO 8859-1 bytes).
GLYPHS = set(b" ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789") | set(
    bytes.fromhex("26E97E2223277B285B2D7CE85F5CE7E040295D3D2B7D5E242A25F9213A3B2E2C3F2F"))
# Frame rates every ship must finish every level at without losing a life.
FRAME_RATES = (50, 60, 100, 144)
FREE_START_ROWS = 10


class ContentError(Exception):
    pass


def text_of(node, path):
    found = node.find(path)
    if found is None or found.text is None or not found.text.strip():
        raise ContentError("content.xml: no text at %s" % path)
    return found.text.strip()


def check_member_name(name):
    if name.count(".") != 1 or "\\" in name or name.startswith("./") or "/./" in name \
            or name.startswith("/") or name != name.strip():
        raise ContentError("member name %r breaks the archive's naming rules "
                           "(one '.', '/' separators, no './')" % name)


def named_files(root):
    """Every member that content.xml names."""
    names = []
    for ship in root.find("common/ships"):
        names.append(text_of(ship, "mesh"))
    for path in ("common/fonts/little", "common/fonts/big", "common/hud", "common/detail",
                 "common/sounds/clickSelect", "common/sounds/clickValidate", "common/sounds/go",
                 "common/sounds/death", "common/sounds/jump", "menu/background", "menu/clouds",
                 "menu/music", "menu/cursor", "menu/shipEnvmap"):
        names.append(text_of(root, path))
    for level in root.find("levels"):
        for key in ("track", "background", "clouds", "shipEnvmap", "tileSlow", "tileNormal",
                    "tileFast", "tileVeryFast", "cube", "music"):
            names.append(text_of(level, key))
    return names


def check_texts(raw):
    """Screen texts must use bytes the fonts have glyphs for."""
    start = raw.index(b"<languages>")
    end = raw.index(b"</languages>")
    inside = False
    for i in range(start, end):
        ch = raw[i]
        if ch == ord("<"):
            inside = True
        elif ch == ord(">"):
            inside = False
        elif not inside and ch not in b"\r\n\t" and ch not in GLYPHS:
            raise ContentError("screen text byte 0x%02X near %r has no glyph in the fonts"
                               % (ch, raw[max(0, i - 20):i + 5]))


def _drive(job):
    level, shape, rows, lanes, speed, jumps, tile_speed, tick, rate = job
    ship, seconds = shipsim.drive(shape, shipsim.Grid(rows), lanes, speed, jumps, tile_speed,
                                  tick, 1.0 / rate)
    return level, shape.name, rate, ship.finished, ship.crashes, seconds


def check_levels(root, tracks, extents):
    speeds = root.find("game/tile/speed")
    tile_speed = [0.0] + [float(text_of(speeds, k)) for k in ("slow", "normal", "fast", "veryFast")]
    tick = float(text_of(root, "common/tickTime"))
    shapes = []
    for ship in list(root.find("common/ships"))[:int(root.find("common/ships").get("count"))]:
        ex = extents[text_of(ship, "mesh")]
        shape = shipsim.ShipShape(text_of(ship, "name"), ex[0], ex[2], float(text_of(ship, "scale")))
        if shape.nose >= shipsim.CELL or shape.half_width >= shipsim.CELL / 2:
            raise ContentError("ship %s is too big for the track's cells" % shape.name)
        shapes.append(shape)
    jobs, report = [], []
    for n, level in enumerate(root.find("levels"), 1):
        text, lanes = tracks[n]
        rows = shipsim.parse_track(text)
        used = {ch for ch in text if ch in "SXFf"}
        if used != set("SXFf"):
            raise ContentError("level %d does not use all four floors (%s)" % (n, "".join(sorted(used))))
        if any(tile not in (1, 2, 3, 4) for row in rows[:FREE_START_ROWS] for tile in row):
            raise ContentError("level %d: the first %d rows must be floor" % (n, FREE_START_ROWS))
        jumps = int(text_of(level, "jumpCount"))
        flights = sum(1 for i, lane in enumerate(lanes) if lane is None and (i == 0 or lanes[i - 1] is not None))
        if flights > jumps:
            raise ContentError("level %d needs %d jumps but gives %d" % (n, flights, jumps))
        speed = float(text_of(level, "speed"))
        report.append("level %d: %d rows, speed %.2f, %d of %d jumps needed" % (n, len(rows), speed, flights, jumps))
        for shape in shapes:
            for rate in FRAME_RATES:
                jobs.append((n, shape, rows, lanes, speed, jumps, tile_speed, tick, rate))
    with multiprocessing.Pool() as pool:
        results = pool.map(_drive, jobs)
    failures = ["level %d, %s at %d frames/s: %s" % (n, name, rate,
                                                     "crashed at (row, x, jumps left) %s" % (crashes,)
                                                     if crashes else "did not reach the end")
                for n, name, rate, finished, crashes, _ in results if crashes or not finished]
    if failures:
        raise ContentError("unwinnable track:\n  " + "\n  ".join(failures))
    return report


def build(content_dir, fonts_dir, drive=True):
    with open(os.path.join(content_dir, "content.xml"), "rb") as f:
        raw = f.read()
    root = ET.fromstring(raw)
    members = {"content.xml": raw}
    level_count = len(list(root.find("levels")))
    members.update(make_pictures.pictures(level_count))
    members.update(make_sounds.sounds())
    members.update(make_music.music(level_count))
    members.update(make_meshes.meshes())
    tracks = make_tracks.tracks()
    if len(tracks) != level_count:
        raise ContentError("content.xml lists %d levels, the tracks are %d" % (level_count, len(tracks)))
    for n, (text, _) in tracks.items():
        members["levels/level%d/track.txt" % n] = text.encode("ascii")
    for font in FONTS:
        path = os.path.join(fonts_dir, font)
        if not os.path.exists(path):
            raise ContentError("font %s not found (install fonts-dejavu-core)" % path)
        with open(path, "rb") as f:
            members["fonts/" + font] = f.read()
    if os.path.exists(FONT_LICENCE):
        with open(FONT_LICENCE, "rb") as f:
            members["fonts/copyright.txt"] = f.read()

    ships = root.find("common/ships")
    if int(ships.get("count", "0")) < 3 or int(ships.get("count")) > len(list(ships)):
        raise ContentError("content.xml: ships count must be 3 or more and at most the ship elements")
    for name in named_files(root):
        if name not in members:
            raise ContentError("content.xml names %s, which nothing makes" % name)
    for name in members:
        check_member_name(name)
    check_texts(raw)
    report = check_levels(root, tracks, make_meshes.extents()) if drive else []
    return members, report


def write_zip(members, out):
    os.makedirs(os.path.dirname(os.path.abspath(out)), exist_ok=True)
    temp = out + ".part"
    with zipfile.ZipFile(temp, "w") as z:
        for name in sorted(members):
            info = zipfile.ZipInfo(name, date_time=(2000, 1, 1, 0, 0, 0))
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 3
            info.external_attr = 0o644 << 16
            z.writestr(info, members[name], compresslevel=9)
    os.replace(temp, out)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--content", required=True, help="the content/ folder")
    parser.add_argument("--out", required=True, help="path of quorin.zip to write")
    parser.add_argument("--fonts", default="/usr/share/fonts/truetype/dejavu")
    parser.add_argument("--skip-drive", action="store_true", help="skip driving the ships through the tracks")
    args = parser.parse_args()
    try:
        members, report = build(args.content, args.fonts, drive=not args.skip_drive)
    except (ContentError, ET.ParseError, ValueError) as error:
        print("quorin.zip: %s" % error, file=sys.stderr)
        return 1
    write_zip(members, args.out)
    for line in report:
        print(line)
    print("quorin.zip: %d members, %d bytes" % (len(members), os.path.getsize(args.out)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
