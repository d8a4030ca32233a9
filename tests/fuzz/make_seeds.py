#!/usr/bin/env python3
"""Seed corpora for the fuzz targets, one folder per target, from the
shipped archive's members and the content tools:

    make_seeds.py ARCHIVE TOOLS_DIR OUT_DIR

Pictures also come in the other formats the engine reads (BMP of 1 to 32
bits, raw and run-length TGA, baseline, progressive and grey JPEG,
interlaced and palette PNG), made with ImageMagick's convert when it is
installed. Sounds get AU and AIFF copies of a WAV member. Zip seeds are
small archives of a few members, stored, deflated, with zip64 records or
data descriptors, bzip2 and LZMA, and the engine tests' archives made by
Info-ZIP, python3's zipfile and 7-Zip or written byte by byte.
"""
import io
import os
import shutil
import subprocess
import sys
import tempfile
import wave
import zipfile


def put(folder, name, data):
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def converted(png, options, suffix):
    """png converted by ImageMagick, or None without it. An option ending in
    ':' is the output format written before the target's name."""
    convert = shutil.which("convert")
    if not convert:
        return None
    prefix = ""
    if options and options[-1].endswith(":"):
        options, prefix = options[:-1], options[-1]
    with tempfile.TemporaryDirectory() as tmp:
        source = os.path.join(tmp, "in.png")
        target = os.path.join(tmp, "out" + suffix)
        with open(source, "wb") as f:
            f.write(png)
        result = subprocess.run([convert, source] + options + [prefix + target],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if result.returncode != 0 or not os.path.exists(target):
            return None
        with open(target, "rb") as f:
            return f.read()


def picture_variants(png):
    """(name, bytes) of the picture in every format and kind the engine reads."""
    variants = [("picture.png", png)]
    for name, options, suffix in (
        ("interlaced.png", ["-interlace", "PNG"], ".png"),
        ("palette.png", ["-colors", "16", "PNG8:"], ".png"),
        ("deep.png", ["-depth", "16"], ".png"),
        ("grey.png", ["-colorspace", "Gray"], ".png"),
        ("baseline.jpg", ["-quality", "80"], ".jpg"),
        ("progressive.jpg", ["-interlace", "JPEG"], ".jpg"),
        ("grey.jpg", ["-colorspace", "Gray"], ".jpg"),
        ("true.bmp", ["BMP3:"], ".bmp"),
        ("palette.bmp", ["-colors", "200", "-type", "Palette", "BMP3:"], ".bmp"),
        ("sixteen.bmp", ["-colors", "16", "-type", "Palette", "BMP3:"], ".bmp"),
        ("mono.bmp", ["-monochrome", "BMP3:"], ".bmp"),
        ("v5.bmp", [], ".bmp"),
        ("rle8.bmp", ["-colors", "200", "-type", "Palette", "-compress", "RLE"], ".bmp"),
        ("rgb565.bmp", ["-define", "bmp:subtype=RGB565"], ".bmp"),
        ("raw.tga", ["-compress", "None"], ".tga"),
        ("rle.tga", ["-compress", "RLE"], ".tga"),
        ("mapped.tga", ["-colors", "32", "-type", "Palette", "-compress", "None"], ".tga"),
        ("grey.tga", ["-colorspace", "Gray", "-compress", "RLE"], ".tga"),
    ):
        data = converted(png, options, suffix)
        if data:
            variants.append((name, data))
    return variants


def sound_variants(wav):
    """The WAV member and AU / AIFF copies of its first frames."""
    out = [("sound.wav", wav)]
    try:
        with wave.open(io.BytesIO(wav)) as w:
            channels, width, rate = w.getnchannels(), w.getsampwidth(), w.getframerate()
            frames = w.readframes(min(w.getnframes(), 2000))
    except wave.Error:
        return out
    try:
        import warnings
        with warnings.catch_warnings():
            warnings.simplefilter("ignore")
            import aifc
            import sunau
        buffer = io.BytesIO()
        with sunau.open(buffer, "wb") as au:
            au.setnchannels(channels)
            au.setsampwidth(width)
            au.setframerate(rate)
            # AU samples are big-endian.
            swapped = bytearray(frames)
            if width == 2:
                swapped[0::2], swapped[1::2] = frames[1::2], frames[0::2]
            au.writeframes(bytes(swapped))
        out.append(("sound.au", buffer.getvalue()))
        buffer = io.BytesIO()
        with aifc.open(buffer, "wb") as aiff:
            aiff.setnchannels(channels)
            aiff.setsampwidth(width)
            aiff.setframerate(rate)
            aiff.writeframes(bytes(swapped))
        out.append(("sound.aiff", buffer.getvalue()))
    except (ImportError, Exception):
        pass
    return out


def main():
    archive_path, tools, out = sys.argv[1], sys.argv[2], sys.argv[3]
    sys.path.insert(0, tools)
    with zipfile.ZipFile(archive_path) as archive:
        members = {name: archive.read(name) for name in archive.namelist() if not name.endswith("/")}

    by_extension = {}
    for name in sorted(members):
        by_extension.setdefault(os.path.splitext(name)[1].lower(), []).append(name)

    def flat(name):
        return name.replace("/", "_")

    # Pictures: every shipped PNG, and every kind of each of two of them.
    pngs = by_extension.get(".png", [])
    for name in pngs:
        put(os.path.join(out, "picture_fuzzer"), flat(name), members[name])
    smallest = sorted(pngs, key=lambda n: len(members[n]))[:2]
    for name in smallest:
        for variant, data in picture_variants(members[name]):
            put(os.path.join(out, "picture_fuzzer"), flat(name) + "." + variant, data)
            # Bitmap fonts: cell width, cell height, glyph count, picture.
            put(os.path.join(out, "bitmap_font_fuzzer"), flat(name) + "." + variant,
                bytes([8, 8, 20]) + data)

    for name in by_extension.get(".ttf", []):
        for height in (20, 40):
            put(os.path.join(out, "truetype_font_fuzzer"), "%d_%s" % (height, flat(name)),
                bytes([height]) + members[name])
    for name in by_extension.get(".txt", []):
        put(os.path.join(out, "track_fuzzer"), flat(name), members[name])
    for name in by_extension.get(".mod", []):
        put(os.path.join(out, "module_fuzzer"), flat(name), members[name])
    for name in by_extension.get(".wav", [])[:2]:
        for variant, data in sound_variants(members[name]):
            put(os.path.join(out, "stream_fuzzer"), flat(name) + "." + variant, data)
    for name in by_extension.get(".cmsh", []):
        put(os.path.join(out, "binary_mesh_fuzzer"), flat(name), members[name])
    for name in by_extension.get(".msh", []):
        put(os.path.join(out, "xml_mesh_fuzzer"), flat(name), members[name])
        put(os.path.join(out, "xml_fuzzer"), flat(name), members[name])
    if "content.xml" in members:
        put(os.path.join(out, "content_fuzzer"), "content.xml", members["content.xml"])
        put(os.path.join(out, "xml_fuzzer"), "content.xml", members["content.xml"])

    # The mesh writer's small samples (a cube in two parts, one triangle).
    import meshfile as m
    verts, tris, parts = m._cube("tex.png")
    two = [m.SubMesh(0, 6, 0, 12, "a.png"), m.SubMesh(6, 6, 12, 12)]
    one = [m.Vertex((0, 0, 0)), m.Vertex((1, 0, 0)), m.Vertex((0, 1, 0))]
    for name, v, t, p in (("cube", verts, tris, parts), ("two", verts, tris, two),
                          ("tri", one, [(0, 1, 2)], None)):
        args = (v, t, p) if p is not None else (v, t)
        put(os.path.join(out, "binary_mesh_fuzzer"), name, m.cmsh_bytes(*args))
        put(os.path.join(out, "xml_mesh_fuzzer"), name, m.msh_text(*args).encode())

    # Zip archives: a few small members, stored and deflated, with zip64
    # records and with data descriptors (written as to a pipe), and in the
    # methods that are refused; and the engine tests' archives, from
    # everyday tools and written byte by byte.
    fixtures = os.path.join(os.path.dirname(os.path.abspath(tools)), "tests", "engine", "fixtures",
                            "archives")
    for name in sorted(os.listdir(fixtures)) if os.path.isdir(fixtures) else []:
        if name.endswith(".zip"):
            with open(os.path.join(fixtures, name), "rb") as f:
                put(os.path.join(out, "zip_fuzzer"), name, f.read())
    small = [n for n in sorted(members, key=lambda n: len(members[n])) if len(members[n]) < 3000][:4]

    class Pipe(io.RawIOBase):
        def __init__(self, out):
            self.out = out
        def writable(self):
            return True
        def write(self, b):
            return self.out.write(b)

    variants = (("stored", zipfile.ZIP_STORED, {}), ("deflated", zipfile.ZIP_DEFLATED, {}),
                ("zip64", zipfile.ZIP_DEFLATED, {"force_zip64": True}),
                ("descriptors", zipfile.ZIP_DEFLATED, {"pipe": True}),
                ("bzip2", zipfile.ZIP_BZIP2, {}), ("lzma", zipfile.ZIP_LZMA, {}))
    for label, method, how in variants:
        buffer = io.BytesIO()
        target = Pipe(buffer) if how.get("pipe") else buffer
        with zipfile.ZipFile(target, "w", method) as z:
            for name in small:
                if how:
                    with z.open(name, "w", force_zip64=how.get("force_zip64", False)) as member:
                        member.write(members[name])
                else:
                    z.writestr(name, members[name])
        put(os.path.join(out, "zip_fuzzer"), label + ".zip", buffer.getvalue())


if __name__ == "__main__":
    main()
