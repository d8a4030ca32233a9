#!/usr/bin/env python3
"""Builds quorin-windows.zip, what a Windows player downloads: racer_d3d.exe,
the content archive quorin.zip beside it, README.txt (how to start, the
keys, what a content error means), and the licences of everything the
program holds (it is linked statically, so the libraries' licences travel
with it).

    package.py --out quorin-windows.zip --program racer_d3d.exe \\
        --archive quorin.zip --deps build/windows-deps --source .

The program is packed as it is given: the build strips it of its debugging
sections first and keeps an unstripped copy (gameplay/CMakeLists.txt).
README.txt is tools/windows/README.txt with Windows line ends.

--deps is the tree of tools/windows/build-deps.sh: the licence of each
library is the debian/copyright of the Debian source package it was built
from (sources/<package>/*.debian.tar.*), and prefix/VERSIONS says which
versions went in. The C and C++ runtime (mingw-w64, libgcc, libstdc++,
winpthreads) comes from the cross compiler's Debian packages, and the
DejaVu fonts inside quorin.zip from fonts-dejavu-core. A licence that
cannot be found stops the packaging: the package is never made without it.

Every member sits in one folder, "Quorin/", in name order, with a fixed
date and fixed permissions, so the same inputs give the same bytes.
"""
import argparse
import glob
import io
import os
import sys
import tarfile
import zipfile

FOLDER = "Quorin/"
# 1980-01-01, the earliest date a zip member can carry.
FIXED_DATE = (1980, 1, 1, 0, 0, 0)

# Statically linked libraries: licence file in the package, Debian source
# package, what the program uses it for, its licence in a few words.
LIBRARIES = [
    ("zlib.txt", "zlib", "inflating archive members and PNG data", "zlib licence"),
    ("libpng.txt", "libpng1.6", "PNG pictures (through DevIL)", "libpng licence"),
    ("libjpeg-turbo.txt", "libjpeg-turbo", "JPEG pictures (through DevIL)",
     "IJG licence, BSD-3-clause and zlib licence"),
    ("freetype.txt", "freetype", "TrueType fonts", "FreeType Licence (FTL), chosen over the GPL-2 alternative"),
    ("minizip.txt", "minizip", "reading quorin.zip", "zlib licence"),
    ("tinyxml.txt", "tinyxml", "parsing content.xml and the XML meshes", "zlib licence"),
    ("libogg.txt", "libogg", "Ogg streams (through libsndfile)", "BSD-3-clause"),
    ("libvorbis.txt", "libvorbis", "Vorbis sounds (through libsndfile)", "BSD-3-clause"),
    ("libsndfile.txt", "libsndfile", "WAV and Ogg sounds", "LGPL-2.1 or later (parts BSD, Apache-2.0)"),
    ("libxmp.txt", "libxmp", "music modules", "LGPL-2.1 or later (parts MIT, BSD, public domain)"),
]

# Licence files that are not a Debian source package's copyright.
OTHER_FILES = [
    ("devil.txt", "third_party/devil/COPYING", "devil", "DevIL (IL)", "decoding every picture", "LGPL-2.1"),
    ("mingw-w64.txt", "/usr/share/doc/mingw-w64-x86-64-dev/copyright", None, "mingw-w64 C runtime and winpthreads",
     "the C library and the threads of the sound layer", "ZPL-2.1, MIT and public domain"),
    ("gcc-runtime.txt", "/usr/share/doc/gcc-mingw-w64-base/copyright", None, "libgcc and libstdc++",
     "the C++ runtime", "GPL-3 with the GCC Runtime Library Exception"),
    ("dejavu-fonts.txt", "/usr/share/doc/fonts-dejavu-core/copyright", None, "DejaVu fonts",
     "the fonts inside quorin.zip", "Bitstream Vera / DejaVu font licence"),
]

# Full texts the copyright files above refer to as /usr/share/common-licenses/<name>.
COMMON_LICENCES = ["Apache-2.0", "GPL-2", "GPL-3", "LGPL-2", "LGPL-2.1"]

FREETYPE_CREDIT = ("Portions of this software are copyright (C) 2022 The FreeType Project "
                   "(www.freetype.org). All rights reserved.")


class PackageError(Exception):
    pass


def read_file(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except OSError as error:
        raise PackageError("cannot read %s: %s" % (path, error.strerror))


def debian_copyright(sources, package):
    """debian/copyright of the one Debian source package kept for PACKAGE."""
    tarballs = sorted(glob.glob(os.path.join(sources, package, "*.debian.tar.*")))
    if len(tarballs) != 1:
        raise PackageError("expected one Debian source of %s in %s, found %d (run tools/windows/build-deps.sh)"
                           % (package, os.path.join(sources, package), len(tarballs)))
    with tarfile.open(tarballs[0]) as tar:
        try:
            member = tar.extractfile("debian/copyright")
        except KeyError:
            member = None
        if member is None:
            raise PackageError("%s holds no debian/copyright" % tarballs[0])
        return member.read()


def versions(deps):
    """Library name -> version line of prefix/VERSIONS."""
    result = {}
    path = os.path.join(deps, "prefix", "VERSIONS")
    for line in read_file(path).decode("utf-8").splitlines():
        if line.startswith("#") or not line.strip():
            continue
        fields = line.split()
        result[fields[0]] = " ".join(fields[1:-2]) if len(fields) > 3 else fields[1]
    return result


def readme(built):
    def entry(name, version, use, licence, file):
        return ["%s, %s" % (name, version) if version else name,
                "    used for: %s" % use, "    licence: %s, see %s" % (licence, file), ""]

    lines = [
        "Licences of racer_d3d.exe and quorin.zip",
        "",
        "racer_d3d.exe is linked statically: the libraries below are inside it.",
        "Each was built from the Debian 12 source package of the version given,",
        "except DevIL, built from its upstream source. The file named holds its",
        "copyright and licence terms. Texts those files refer to as",
        "/usr/share/common-licenses/<name> are in common/<name>.txt here.",
        "",
    ]
    by_library = {"libpng1.6": "libpng"}
    for file, package, use, licence in LIBRARIES:
        name = by_library.get(package, package)
        lines += entry(name, "version " + built.get(name, "not recorded"), use, licence, file)
    for file, _, library, name, use, licence in OTHER_FILES:
        version = "version " + built.get(library, "not recorded") if library else None
        lines += entry(name, version, use, licence, file)
    lines += ["FreeType credit:", "    " + FREETYPE_CREDIT, ""]
    return ("\r\n".join(lines)).encode("utf-8")


def add(archive, name, data):
    info = zipfile.ZipInfo(FOLDER + name, FIXED_DATE)
    info.compress_type = zipfile.ZIP_DEFLATED
    info.external_attr = 0o644 << 16
    info.create_system = 3  # Unix, so the permissions above are read
    archive.writestr(info, data, compresslevel=9)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", required=True)
    parser.add_argument("--program", required=True)
    parser.add_argument("--archive", required=True)
    parser.add_argument("--deps", required=True)
    parser.add_argument("--source", required=True)
    args = parser.parse_args(argv)

    readme_text = read_file(os.path.join(args.source, "tools/windows/README.txt"))
    members = {
        "racer_d3d.exe": read_file(args.program),
        "quorin.zip": read_file(args.archive),
        "README.txt": ("\r\n".join(readme_text.decode("utf-8").splitlines()) + "\r\n").encode("utf-8"),
    }
    sources = os.path.join(args.deps, "sources")
    for file, package, _, _ in LIBRARIES:
        members["licences/" + file] = debian_copyright(sources, package)
    for file, path, _, _, _, _ in OTHER_FILES:
        members["licences/" + file] = read_file(os.path.join(args.source, path))
    for name in COMMON_LICENCES:
        members["licences/common/%s.txt" % name] = read_file("/usr/share/common-licenses/" + name)
    members["licences/README.txt"] = readme(versions(args.deps))

    partial = args.out + ".part"
    with zipfile.ZipFile(partial, "w") as archive:
        for name in sorted(members):
            add(archive, name, members[name])
    os.replace(partial, args.out)
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main(sys.argv[1:]))
    except PackageError as error:
        sys.stderr.write("package: %s\n" % error)
        sys.exit(1)
