#!/usr/bin/env python3
"""Builds quorin-windows.zip, what a Windows player downloads: racer_d3d.exe,
the content archive quorin.zip beside it, README.txt (how to start, the
keys, what a content error means), and the licences of everything the
program holds (it is linked statically, so the libraries' licences travel
with it).

    package.py --out quorin-windows.zip --program racer_d3d.exe \\
        --archive quorin.zip --deps build/windows-deps --source .
    package.py --source-out quorin-windows-source.zip \\
        --deps build/windows-deps --source .

The second form packs the source that goes out beside the package, as the
LGPL asks of a program holding LGPL libraries linked statically: a
README.txt at its top (what it is, the commands, what is fetched from the
package registry, how to change a library and link again), the game's own
source and build scripts (DevIL's tarball and our patches among them) and
the Debian source packages of the other LGPL libraries, which
build-deps.sh uses from there, so that anyone can change those libraries
and link racer_d3d.exe again.

The program is packed as it is given: the build strips it of its debugging
sections first and keeps an unstripped copy (gameplay/CMakeLists.txt).
README.txt is tools/windows/README.txt with Windows line ends.

--deps is the tree of tools/windows/build-deps.sh: the licence of each
library is the debian/copyright of the Debian source package it was built
from (sources/<package>/*.debian.tar.*). The versions and SHA-256 the
index gives are the pins of tools/windows/library-sources.txt, the ones
build-deps.sh builds; a prefix (prefix/VERSIONS) or a kept source package
that differs from them stops the packaging. The C and C++ runtime
(mingw-w64, libgcc, libstdc++, winpthreads) comes from the cross
compiler's Debian binary packages, and the DejaVu fonts inside quorin.zip
from fonts-dejavu-core: the index gives the versions installed. A licence
that cannot be found stops the packaging: the package is never made
without it.

What the licences ask of a program given out as a binary is in the package
too: the credits the IJG and FreeType licences want in the documentation
(licences/README.txt and the player's README.txt), and for the LGPL
libraries (DevIL, libsndfile, libxmp) where their exact sources are (each
Debian source package by version and the SHA-256 of its .dsc, our patches,
shipped in licences/patches/, DevIL's tarball by its SHA-256) and how to
relink the program with changed versions of them.

Every member sits in one folder, "Quorin/", in name order, with a fixed
date and fixed permissions, so the same inputs give the same bytes.
"""
import argparse
import glob
import hashlib
import os
import re
import subprocess
import sys
import tarfile
import textwrap
import zipfile

FOLDER = "Quorin/"
# 1980-01-01, the earliest date a zip member can carry.
FIXED_DATE = (1980, 1, 1, 0, 0, 0)

# Statically linked libraries built from a Debian source package: licence
# file in the package, library (as tools/windows/library-sources.txt names
# it), what the program uses it for, its licence in a few words.
LIBRARIES = [
    ("zlib.txt", "zlib", "inflating archive members and PNG data", "zlib licence"),
    ("libpng.txt", "libpng", "PNG pictures (through DevIL)", "libpng licence"),
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

# DevIL, built from the tarball of the tree: licence file, its source.
DEVIL = ("devil.txt", "third_party/devil/COPYING", "DevIL (IL)", "decoding every picture", "LGPL-2.1")

# What is not built here but taken from Debian's binary packages as they are
# installed: licence file, its source, name, the packages (what of them is
# in the program or the archive), use, licence.
BINARY_PACKAGES = [
    ("mingw-w64.txt", "/usr/share/doc/mingw-w64-x86-64-dev/copyright", "mingw-w64 C runtime and winpthreads",
     [("mingw-w64-x86-64-dev", "the C runtime and winpthreads")],
     "the C library and the threads of the sound layer", "ZPL-2.1, MIT and public domain"),
    ("gcc-runtime.txt", "/usr/share/doc/gcc-mingw-w64-base/copyright", "libgcc and libstdc++",
     [("gcc-mingw-w64-x86-64-posix", "libgcc"), ("g++-mingw-w64-x86-64-posix", "libstdc++")],
     "the C++ runtime", "GPL-3 with the GCC Runtime Library Exception"),
    ("dejavu-fonts.txt", "/usr/share/doc/fonts-dejavu-core/copyright", "DejaVu fonts",
     [("fonts-dejavu-core", "the fonts")],
     "the fonts inside quorin.zip", "Bitstream Vera / DejaVu font licence"),
]

# Why a licence file names a version 3 GNU licence, though nothing in the
# program is under it alone. A file naming one that is not here stops the
# packaging: the index says why each is there.
VERSION_3_REASONS = {
    "gcc-runtime.txt": "libgcc and libstdc++ are under the GPL version 3 with the GCC Runtime "
                       "Library Exception, which lets a program compiled with GCC be given out "
                       "under terms of its own (racer_d3d.exe is not under the GPL); the other "
                       "GNU licences it names are those of parts of GCC not in the program",
    "freetype.txt": "FreeType's build macro builds/unix/ax_pthread.m4, not in the program",
    "libsndfile.txt": "libsndfile's build macros m4/ax_*.m4, not in the program",
    "mingw-w64.txt": "mingw-w64's tools gendef, genidl, genpeimg and genstubdll, not in the program",
}

# Full texts the copyright files above refer to as /usr/share/common-licenses/<name>:
# these at least, and every other one they name (GPL and LGPL are Debian's
# names of the latest versions).
COMMON_LICENCES = ["Apache-2.0", "GPL-2", "GPL-3", "LGPL-2", "LGPL-2.1"]
COMMON_REFERENCE = re.compile(rb"/usr/share/common-licenses/([A-Za-z][A-Za-z0-9.+_-]*[A-Za-z0-9])")

# Libraries under the GNU LGPL: linked statically, so the package says where
# their exact sources are and how to relink the program.
LGPL_LIBRARIES = ["devil", "libsndfile", "libxmp"]
# Those of them built from a Debian source package, which the source archive
# carries as it was fetched (.dsc, upstream tarball, Debian tarball).
DEBIAN_LGPL_LIBRARIES = [library for library in LGPL_LIBRARIES if library != "devil"]
# Built by build-deps.sh for the tests only, not in the program.
TEST_LIBRARIES = ["googletest"]

# Where the sources of the libraries are pinned, in the tree.
PINS = "tools/windows/library-sources.txt"

# The archive of sources given out beside the package, and where things are in it.
SOURCE_ARCHIVE = "quorin-windows-source.zip"
SOURCE_FOLDER = "quorin-source/"
SOURCE_DEBIAN = "debian-sources/"

# The sentence the IJG licence (libjpeg-turbo) asks the documentation of a
# program given out as a binary to state.
IJG_CREDIT = "This software is based in part on the work of the Independent JPEG Group."
# The credit the FreeType Licence asks for, with the year of the FreeType
# version built in (the end of its copyright years).
FREETYPE_CREDIT = ("Portions of this software are copyright \u00a9 %s The FreeType Project "
                   "(www.freetype.org). All rights reserved.")


class PackageError(Exception):
    pass


def read_file(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except OSError as error:
        raise PackageError("cannot read %s: %s" % (path, error.strerror))


class Pin:
    """The pinned source of a library: a Debian source package (package is
    its name) or a tarball of the tree (tarball is its path in the tree)."""

    def __init__(self, library, origin, version, sha256):
        self.library = library
        self.version = version
        self.sha256 = sha256
        self.package = origin[len("debian:"):] if origin.startswith("debian:") else None
        self.tarball = None if self.package else origin

    @property
    def dsc(self):
        return "%s_%s.dsc" % (self.package, self.version.split(":", 1)[-1])


def pins(source):
    """Library name -> Pin, as tools/windows/library-sources.txt gives them."""
    result = {}
    for number, line in enumerate(read_file(os.path.join(source, PINS)).decode("utf-8").splitlines(), 1):
        fields = line.split()
        if not fields or fields[0].startswith("#"):
            continue
        if len(fields) != 4 or not re.fullmatch(r"[0-9a-f]{64}", fields[3]):
            raise PackageError("%s:%d does not read: library origin version sha256" % (PINS, number))
        result[fields[0]] = Pin(*fields)
    for library in [library for _, library, _, _ in LIBRARIES] + ["devil"] + TEST_LIBRARIES:
        if library not in result:
            raise PackageError("%s pins no source of %s" % (PINS, library))
    return result


def debian_copyright(sources, pin):
    """debian/copyright of the Debian source package kept for PIN."""
    tarballs = sorted(glob.glob(os.path.join(sources, pin.package, "*.debian.tar.*")))
    if len(tarballs) != 1:
        raise PackageError("expected one Debian source of %s in %s, found %d (run tools/windows/build-deps.sh)"
                           % (pin.package, os.path.join(sources, pin.package), len(tarballs)))
    with tarfile.open(tarballs[0]) as tar:
        try:
            member = tar.extractfile("debian/copyright")
        except KeyError:
            member = None
        if member is None:
            raise PackageError("%s holds no debian/copyright" % tarballs[0])
        return member.read()


def freetype_year(copyright):
    """Last year of the copyright of FreeType's own files (Files: *)."""
    found = re.search(r"^Files: \*\s*\nCopyright: \d{4}-(\d{4}) ", copyright.decode("utf-8"), re.MULTILINE)
    if not found:
        raise PackageError("the year of FreeType's copyright is not in its debian/copyright")
    return found.group(1)


def check_debian_source(sources, pin):
    """The one .dsc kept for PIN must be the pinned one."""
    kept = sorted(glob.glob(os.path.join(sources, pin.package, "*.dsc")))
    if [os.path.basename(path) for path in kept] != [pin.dsc]:
        raise PackageError("expected %s alone in %s, found %s (run tools/windows/build-deps.sh)"
                           % (pin.dsc, os.path.join(sources, pin.package),
                              " ".join(os.path.basename(path) for path in kept) or "none"))
    actual = hashlib.sha256(read_file(kept[0])).hexdigest()
    if actual != pin.sha256:
        raise PackageError("%s has SHA-256 %s, not %s as %s pins" % (kept[0], actual, pin.sha256, PINS))


def check_tarball(source, pin):
    """The tarball of PIN must have its pinned SHA-256."""
    actual = hashlib.sha256(read_file(os.path.join(source, pin.tarball))).hexdigest()
    if actual != pin.sha256:
        raise PackageError("%s has SHA-256 %s, not %s as %s pins" % (pin.tarball, actual, pin.sha256, PINS))


def check_built(deps, pinned):
    """prefix/VERSIONS must give every pinned library at its pinned version:
    the index tells what the program holds."""
    built = {}
    path = os.path.join(deps, "prefix", "VERSIONS")
    for line in read_file(path).decode("utf-8").splitlines():
        if line.startswith("#") or not line.strip():
            continue
        fields = line.split()
        built[fields[0]] = fields[1]
    for library, pin in sorted(pinned.items()):
        if built.get(library) != pin.version:
            raise PackageError("%s says %s %s was built, but %s pins %s (run tools/windows/build-deps.sh)"
                               % (path, library, built.get(library, "not"), PINS, pin.version))


def installed_version(package):
    """Version of the installed Debian binary package PACKAGE."""
    try:
        return subprocess.run(["dpkg-query", "-W", "-f=${Version}", package], check=True,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE).stdout.decode("utf-8")
    except (OSError, subprocess.CalledProcessError):
        raise PackageError("cannot tell the version of the Debian package %s (is it installed?)" % package)


def is_version_3(text):
    """Whether TEXT is version 3 of a GNU licence (GPL-3, LGPL-3)."""
    return re.search(rb"^\s*Version 3, 29 June 2007\s*$", text[:1000], re.MULTILINE) is not None


def patches(source):
    """Library name -> (name, first line: what it does) of each of our patches
    for it, tools/windows/patches/<library>-*.patch."""
    result = {}
    for path in sorted(glob.glob(os.path.join(source, "tools/windows/patches/*.patch"))):
        name = os.path.basename(path)
        what = read_file(path).decode("utf-8").split("\n", 1)[0].strip().rstrip(".")
        if not what or what.startswith(("---", "diff ")):
            raise PackageError("tools/windows/patches/%s does not begin with a line saying what it does" % name)
        result.setdefault(name.split("-", 1)[0], []).append((name, what))
    return result


def readme(pinned, sources, our_patches, freetype_credit, version_3):
    """The licence index. VERSION_3 maps each version 3 text in common/ to
    the licence files that name it."""
    def entry(name, version, use, licence, file, origin=None):
        lines = ["%s, version %s" % (name, version), "    used for: %s" % use]
        if origin:
            lines.append("    from: %s" % origin)
        lines.append("    licence: %s, see %s" % (licence, file))
        for patch, what in our_patches.get(name, []):
            lines.append("    built with our patch (%s), see patches/%s" % (what, patch))
        return lines + [""]

    patched = sorted(our_patches)
    lines = [
        "Licences of racer_d3d.exe and quorin.zip",
        "",
        "racer_d3d.exe is linked statically: the libraries below are inside it.",
        "Each library was built from the Debian 12 source package of the",
        "version given, with Debian's own patches, except DevIL, built from its",
        "upstream source.",
        "%s also carries a patch of ours, in patches/ here." % " and ".join(patched)
        if patched else "None carries a patch of ours.",
        "The C and C++ runtime and the fonts were not built: they are the files",
        "of the Debian 12 binary packages named, of the version given.",
        "The file named holds its copyright and licence terms. Texts those files",
        "refer to as /usr/share/common-licenses/<name> are in common/<name>.txt here.",
        "",
    ]
    for file, library, use, licence in LIBRARIES:
        lines += entry(library, pinned[library].version, use, licence, file)
    file, _, name, use, licence = DEVIL
    lines += entry(name, pinned["devil"].version, use, licence, file)
    for file, _, name, packages, use, licence in BINARY_PACKAGES:
        found = [(package, what, installed_version(package)) for package, what in packages]
        versions = sorted(set(version for _, _, version in found))
        origin = "Debian 12's binary package%s %s" % (
            "s" if len(found) > 1 else "",
            " and ".join("%s (%s)" % (package, what) if len(found) > 1 else package for package, what, _ in found))
        lines += entry(name, " and ".join(versions), use, licence, file, origin)
    lines += [
        "googletest, also built by the same script, is used by the tests only and",
        "is not in racer_d3d.exe.",
        "",
        "Texts of version 3",
        "",
    ]
    lines += textwrap.wrap(
        "Of the texts in common/, %s %s version 3 of a GNU licence%s. No code in racer_d3d.exe is under "
        "them alone; they are here because these licence files name them:" % (
            ", ".join("common/%s.txt" % name for name in sorted(version_3)),
            "is" if len(version_3) == 1 else "are",
            " (GPL and LGPL are Debian's names of the latest versions)"
            if set(version_3) & {"GPL", "LGPL"} else ""), 74)
    naming = sorted(set(file for files in version_3.values() for file in files))
    for file in naming:
        texts = sorted(name for name, files in version_3.items() if file in files)
        lines += textwrap.wrap("%s (%s): %s" % (file, ", ".join(texts), VERSION_3_REASONS[file]), 74,
                               initial_indent="  - ", subsequent_indent="    ")
    lines += [
        "",
        "Credits",
        "",
        "    " + IJG_CREDIT,
        "    " + freetype_credit,
        "",
        "Source code and relinking",
        "",
        "DevIL, libsndfile and libxmp are under the GNU Lesser General Public",
        "License 2.1 (common/LGPL-2.1.txt; DevIL's copy of it is devil.txt), and",
        "racer_d3d.exe holds them linked statically. You may change them and link",
        "racer_d3d.exe again with your changed versions, and you may modify",
        "racer_d3d.exe for your own use and reverse-engineer it to debug such",
        "modifications. Their exact sources are:",
        "",
    ]
    for library in LGPL_LIBRARIES:
        pin = pinned[library]
        if pin.tarball:
            lines += ["  DevIL: version %s," % pin.version,
                      "    the tarball %s of the game's source," % pin.tarball,
                      "    SHA-256 %s" % pin.sha256]
            continue
        lines += ["  %s: the Debian source package %s, version %s," % (library, pin.package, pin.version),
                  "    %s, SHA-256 %s" % (pin.dsc, pin.sha256),
                  "    (the .dsc names the SHA-256 of each file of the source package)"]
        for patch, _ in our_patches.get(library, []):
            lines += ["    with Debian's patches and then ours, patches/%s, applied" % patch]
    fetched = [library for library, pin in sorted(pinned.items())
               if pin.package and library not in DEBIAN_LGPL_LIBRARIES]
    lines += [
        "",
        "Every version of a Debian source package stays available from",
        "https://snapshot.debian.org/package/<name>/<version>/ (and with",
        "\"apt-get source <name>=<version>\" while Debian 12 carries it).",
        "",
        "All of these sources go out beside this package, wherever it is offered,",
        "in %s: the source of racer_d3d.exe itself with its" % SOURCE_ARCHIVE,
        "build scripts, DevIL's tarball (third_party/devil) and our patches",
        "(tools/windows/patches), in %s, and the Debian source" % SOURCE_FOLDER,
        "packages of %s, in %s<name>/; its README.txt" % (" and ".join(DEBIAN_LGPL_LIBRARIES), SOURCE_DEBIAN),
        "tells how to build. To link racer_d3d.exe again with changed libraries,",
        "on Debian 12 with the packages tools/install-deps.sh installs:",
    ]
    steps = [
        "tools/windows/build-deps.sh takes the source packages of %s from %s, fetches those of the "
        "other libraries (%s) from Debian's package registry at the versions given here, which %s pins, "
        "checks each against its pinned SHA-256, applies Debian's patches and ours, and builds every "
        "library into build/windows-deps/prefix; to use a changed library, change its recipe in that "
        "script (each unpacks its source, applies the patches and builds) or its patch, and run the "
        "script again: a library whose recipe, patch or pinned source changed is built again;"
        % (" and ".join(DEBIAN_LGPL_LIBRARIES), SOURCE_DEBIAN, ", ".join(fetched), PINS),
        "tools/windows/build.sh compiles the game and links racer_d3d.exe against that prefix "
        "(docs/windows-build.md tells the details).",
    ]
    for number, step in enumerate(steps, 1):
        lines += textwrap.wrap(step, 74, initial_indent="  %d. " % number, subsequent_indent="     ")
    lines += [""]
    return ("\r\n".join(lines)).encode("utf-8")


def source_readme(pinned):
    """README.txt at the top of the source archive."""
    shipped = [pinned[library] for library in DEBIAN_LGPL_LIBRARIES]
    fetched = [pin for library, pin in sorted(pinned.items())
               if pin.package and library not in DEBIAN_LGPL_LIBRARIES]
    width = max(len(pin.library) for pin in pinned.values())
    lines = [
        "The source of racer_d3d.exe",
        "===========================",
        "",
        "This archive is the source of racer_d3d.exe, the Windows program of",
        "quorin-windows.zip, given out beside it because the program holds LGPL",
        "libraries (DevIL, libsndfile and libxmp) linked statically: with it you",
        "can change those libraries and link racer_d3d.exe again. The licence",
        "index of the package, licences/README.txt, lists every library in the",
        "program with its version and licence.",
        "",
        "  %-16s this file" % "README.txt",
        "  %-16s the game's source and its build scripts, with DevIL's" % SOURCE_FOLDER,
        "                   source (third_party/devil) and our patches to the",
        "                   libraries (tools/windows/patches)",
        "  %-16s the Debian 12 source packages of %s," % (SOURCE_DEBIAN, " and ".join(DEBIAN_LGPL_LIBRARIES)),
        "                   as Debian gives them (.dsc and the files it lists)",
        "",
        "",
        "Building racer_d3d.exe",
        "----------------------",
        "",
        "On Debian 12 (x86-64), in %s, with %s left beside it:" % (SOURCE_FOLDER, SOURCE_DEBIAN),
        "",
        "    bash tools/install-deps.sh         # the Debian packages it takes (apt-get,",
        "                                       # as root or through sudo)",
        "    bash tools/windows/build-deps.sh   # the libraries, into build/windows-deps/prefix",
        "    bash tools/windows/build.sh        # racer_d3d.exe and the package",
        "",
        "build.sh runs build-deps.sh itself, so the second command may be left",
        "out. QUORIN_JOBS=<n> before either sets the number of compile jobs",
        "(QUORIN_DEPS_JOBS=<n> that of build-deps.sh alone). The program lands in",
        "build/windows/bin/racer_d3d.exe, beside the content archive quorin.zip,",
        "and the package in build/windows/quorin-windows.zip. bash",
        "tools/windows/test.sh builds the same and runs the tests under Wine.",
        "",
        "",
        "What needs the package registry",
        "-------------------------------",
        "",
        "tools/install-deps.sh installs Debian packages with apt-get. The",
        "library sources are pinned in %s, the versions" % PINS,
        "and SHA-256 the licence index gives. build-deps.sh takes",
        "",
    ]
    lines += ["    %-*s %s, from %s%s/" % (width, pin.library, pin.version, SOURCE_DEBIAN, pin.package)
              for pin in shipped]
    lines += ["    %-*s %s, from %s" % (width, "devil", pinned["devil"].version, pinned["devil"].tarball), ""]
    lines += [
        "from this archive (the LGPL libraries: nothing of them is fetched), each",
        "checked against its pinned SHA-256, and fetches from Debian's package",
        "registry, with apt-get source <package>=<version>, at exactly these",
        "versions (googletest for the tests only):",
        "",
    ]
    lines += ["    %-*s %s (Debian source package %s)" % (width, pin.library, pin.version, pin.package)
              for pin in fetched]
    lines += [
        "",
        "Fetched once, they are kept in build/windows-deps/sources/. A version the",
        "registry no longer has stops build-deps.sh with a message naming the",
        "package and version; https://snapshot.debian.org/package/<package>/<version>/",
        "keeps every version: put its .dsc and the files it lists in",
        "%s<package>/ and run build-deps.sh again." % SOURCE_DEBIAN,
        "",
        "",
        "Changing a library and linking again",
        "------------------------------------",
        "",
        "1. Put the change in a patch of the library's source tree (as \"diff -u\"",
        "   makes it, paths one level deep: a/..., b/...), whose first line says",
        "   what it does, in tools/windows/patches/<library>-<what>.patch, and",
        "   have the library's recipe in tools/windows/build-deps.sh",
        "   (build_<library>) apply it after it unpacks the source:",
        "",
        "       apply_patch <library>-<what>.patch \"$SRC\"",
        "",
        "   (libsndfile's recipe applies our patch so). To build another version",
        "   of a Debian source package, put it in %s<package>/ and" % SOURCE_DEBIAN,
        "   change its version and the SHA-256 of its .dsc in",
        "   %s." % PINS,
        "2. Run bash tools/windows/build.sh: build-deps.sh builds again the",
        "   library whose recipe, patch or pinned source changed, and those built",
        "   on it, then racer_d3d.exe is linked again against them and packed",
        "   into build/windows/quorin-windows.zip, whose licence index gives the",
        "   new versions and patches.",
        "",
        "docs/windows-deps.md tells how each library is built, docs/windows-build.md",
        "the Windows build and its tests.",
    ]
    return ("\n".join(lines) + "\n").encode("utf-8")


def add(archive, name, data, mode=0o644):
    info = zipfile.ZipInfo(name, FIXED_DATE)
    info.compress_type = zipfile.ZIP_DEFLATED
    info.external_attr = mode << 16
    info.create_system = 3  # Unix, so the permissions above are read
    archive.writestr(info, data, compresslevel=9)


def write_archive(path, members):
    """Writes MEMBERS (name -> (bytes, mode)) in name order; an archive that
    would come out the same is left as it is."""
    partial = path + ".part"
    with zipfile.ZipFile(partial, "w") as archive:
        for name in sorted(members):
            data, mode = members[name]
            add(archive, name, data, mode)
    if os.path.exists(path) and read_file(path) == read_file(partial):
        os.remove(partial)
    else:
        os.replace(partial, path)


def source_files(source):
    """The game's source files, relative to SOURCE: what git tracks in a
    checkout, else every file but the build trees (an unpacked source
    archive)."""
    if os.path.isdir(os.path.join(source, ".git")) or os.path.isfile(os.path.join(source, ".git")):
        try:
            listing = subprocess.run(["git", "-C", source, "ls-files", "-z"], check=True,
                                     stdout=subprocess.PIPE, stderr=subprocess.PIPE).stdout
        except (OSError, subprocess.CalledProcessError) as error:
            raise PackageError("cannot list the source files of %s with git: %s" % (source, error))
        return sorted(name for name in listing.decode("utf-8").split("\0") if name)
    files = []
    for top, dirs, names in os.walk(source):
        relative = os.path.relpath(top, source)
        dirs[:] = sorted(d for d in dirs if not (relative == "." and d in ("build", ".git")))
        files += [os.path.normpath(os.path.join(relative, name)) for name in names]
    return sorted(files)


def source_members(source, sources, pinned):
    """Members of the source archive."""
    members = {"README.txt": (source_readme(pinned), 0o644)}
    for name in source_files(source):
        path = os.path.join(source, name)
        if os.path.islink(path) or not os.path.isfile(path):
            continue  # a file git tracks but the checkout lacks is no source
        mode = 0o755 if os.access(path, os.X_OK) else 0o644
        members[SOURCE_FOLDER + name] = (read_file(path), mode)
    for library in DEBIAN_LGPL_LIBRARIES:
        pin = pinned[library]
        check_debian_source(sources, pin)
        files = sorted(glob.glob(os.path.join(sources, pin.package, "*")))
        if not any(".orig.tar." in name for name in files):
            raise PackageError("the upstream tarball of %s is not in %s (run tools/windows/build-deps.sh)"
                               % (library, os.path.join(sources, pin.package)))
        for path in files:
            members["%s%s/%s" % (SOURCE_DEBIAN, pin.package, os.path.basename(path))] = (read_file(path), 0o644)
    return members


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out")
    parser.add_argument("--program")
    parser.add_argument("--archive")
    parser.add_argument("--source-out")
    parser.add_argument("--deps", required=True)
    parser.add_argument("--source", required=True)
    args = parser.parse_args(argv)
    sources = os.path.join(args.deps, "sources")
    pinned = pins(args.source)
    if args.source_out:
        if args.out or args.program or args.archive:
            parser.error("--source-out packs the sources alone")
        write_archive(args.source_out, source_members(args.source, sources, pinned))
        return 0
    if not (args.out and args.program and args.archive):
        parser.error("--out, --program and --archive are needed for the package")
    check_built(args.deps, pinned)
    for pin in pinned.values():
        if pin.package:
            check_debian_source(sources, pin)
        else:
            check_tarball(args.source, pin)

    readme_text = read_file(os.path.join(args.source, "tools/windows/README.txt"))
    freetype_credit = FREETYPE_CREDIT % freetype_year(debian_copyright(sources, pinned["freetype"]))
    flat = " ".join(readme_text.decode("utf-8").split())
    for credit in (IJG_CREDIT, freetype_credit):
        if credit not in flat:
            raise PackageError("tools/windows/README.txt does not state the credit \"%s\"" % credit)
    members = {
        "racer_d3d.exe": read_file(args.program),
        "quorin.zip": read_file(args.archive),
        "README.txt": ("\r\n".join(readme_text.decode("utf-8").splitlines()) + "\r\n").encode("utf-8"),
    }
    for file, library, _, _ in LIBRARIES:
        members["licences/" + file] = debian_copyright(sources, pinned[library])
    members["licences/" + DEVIL[0]] = read_file(os.path.join(args.source, DEVIL[1]))
    for file, path, _, _, _, _ in BINARY_PACKAGES:
        members["licences/" + file] = read_file(path)
    referred = {name: set() for name in COMMON_LICENCES}
    for member, data in members.items():
        if member.startswith("licences/"):
            for name in COMMON_REFERENCE.findall(data):
                referred.setdefault(name.decode("ascii"), set()).add(member[len("licences/"):])
    version_3 = {}
    for name in sorted(referred):
        text = read_file("/usr/share/common-licenses/" + name)
        members["licences/common/%s.txt" % name] = text
        if is_version_3(text):
            version_3[name] = referred[name]
    for file in sorted(set(file for files in version_3.values() for file in files) - set(VERSION_3_REASONS)):
        raise PackageError("licences/%s names a version 3 licence (%s), and package.py does not say why"
                           % (file, ", ".join(name for name, files in sorted(version_3.items()) if file in files)))
    our_patches = patches(args.source)
    for library_patches in our_patches.values():
        for name, _ in library_patches:
            members["licences/patches/" + name] = read_file(os.path.join(args.source, "tools/windows/patches",
                                                                         name))
    members["licences/README.txt"] = readme(pinned, sources, our_patches, freetype_credit, version_3)

    write_archive(args.out, {FOLDER + name: (data, 0o644) for name, data in members.items()})
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main(sys.argv[1:]))
    except PackageError as error:
        sys.stderr.write("package: %s\n" % error)
        sys.exit(1)
