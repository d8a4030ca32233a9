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
LGPL asks of a program holding LGPL libraries linked statically: the game's
own source and build scripts (DevIL's tarball and our patches among them)
and the Debian source packages of the other LGPL libraries, so that anyone
can change those libraries and link racer_d3d.exe again.

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


def freetype_year(copyright):
    """Last year of the copyright of FreeType's own files (Files: *)."""
    found = re.search(r"^Files: \*\s*\nCopyright: \d{4}-(\d{4}) ", copyright.decode("utf-8"), re.MULTILINE)
    if not found:
        raise PackageError("the year of FreeType's copyright is not in its debian/copyright")
    return found.group(1)


def debian_source_file(sources, package):
    """(name, SHA-256) of the .dsc of the one Debian source kept for PACKAGE."""
    dscs = sorted(glob.glob(os.path.join(sources, package, "*.dsc")))
    if len(dscs) != 1:
        raise PackageError("expected one .dsc of %s in %s, found %d (run tools/windows/build-deps.sh)"
                           % (package, os.path.join(sources, package), len(dscs)))
    return os.path.basename(dscs[0]), hashlib.sha256(read_file(dscs[0])).hexdigest()


def devil_tarball(source):
    """(path relative to SOURCE, SHA-256) of DevIL's tarball, as build-deps.sh
    names and checks it; the file must have that hash."""
    script = read_file(os.path.join(source, "tools/windows/build-deps.sh")).decode("utf-8")
    tarball = re.search(r'^DEVIL_TARBALL="\$ROOT/(\S+)"$', script, re.MULTILINE)
    digest = re.search(r"^DEVIL_SHA256=([0-9a-f]{64})$", script, re.MULTILINE)
    if not tarball or not digest:
        raise PackageError("tools/windows/build-deps.sh does not name DevIL's tarball and its SHA-256")
    actual = hashlib.sha256(read_file(os.path.join(source, tarball.group(1)))).hexdigest()
    if actual != digest.group(1):
        raise PackageError("%s has SHA-256 %s, not %s as build-deps.sh checks" % (tarball.group(1), actual,
                                                                                digest.group(1)))
    return tarball.group(1), actual


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


def readme(built, sources, devil, our_patches, freetype_credit):
    def entry(name, version, use, licence, file):
        lines = ["%s, %s" % (name, version) if version else name,
                 "    used for: %s" % use, "    licence: %s, see %s" % (licence, file)]
        for patch, what in our_patches.get(name, []):
            lines.append("    built with our patch (%s), see patches/%s" % (what, patch))
        return lines + [""]

    patched = sorted(our_patches)
    lines = [
        "Licences of racer_d3d.exe and quorin.zip",
        "",
        "racer_d3d.exe is linked statically: the libraries below are inside it.",
        "Each was built from the Debian 12 source package of the version given,",
        "with Debian's own patches, except DevIL, built from its upstream source.",
        "%s also carries a patch of ours, in patches/ here. The file named holds"
        % " and ".join(patched) if patched else "None carries a patch of ours. The file named holds",
        "its copyright and licence terms. Texts those files refer to as",
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
    lines += [
        "googletest, also built by the same script, is used by the tests only and",
        "is not in racer_d3d.exe.",
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
        if library == "devil":
            tarball, digest = devil
            lines += ["  DevIL: its upstream source, version %s," % built.get("devil", "not recorded"),
                      "    the tarball %s of the game's source," % tarball,
                      "    SHA-256 %s" % digest]
            continue
        dsc, digest = debian_source_file(sources, library)
        lines += ["  %s: the Debian source package %s, version %s," % (library, library,
                                                                   built.get(library, "not recorded")),
                  "    %s, SHA-256 %s" % (dsc, digest),
                  "    (the .dsc names the SHA-256 of each file of the source package)"]
        for patch, _ in our_patches.get(library, []):
            lines += ["    with Debian's patches and then ours, patches/%s, applied" % patch]
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
        "packages of %s, in %s<name>/." % (" and ".join(DEBIAN_LGPL_LIBRARIES), SOURCE_DEBIAN),
        "To link racer_d3d.exe again with changed libraries, on",
        "Debian 12 with the packages tools/install-deps.sh installs:",
        "  1. tools/windows/build-deps.sh fetches the Debian source packages above,",
        "     applies Debian's patches and ours, and builds every library into",
        "     build/windows-deps/prefix; to use a changed library, change its",
        "     recipe in that script (each unpacks its source, applies the patches",
        "     and builds) or its patch, and run the script again: a library whose",
        "     recipe or patch changed is built again;",
        "  2. tools/windows/build.sh compiles the game and links racer_d3d.exe",
        "     against that prefix (docs/windows-build.md tells the details).",
        "",
    ]
    return ("\r\n".join(lines)).encode("utf-8")


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


def source_members(source, sources):
    """Members of the source archive."""
    members = {}
    for name in source_files(source):
        path = os.path.join(source, name)
        if os.path.islink(path) or not os.path.isfile(path):
            continue  # a file git tracks but the checkout lacks is no source
        mode = 0o755 if os.access(path, os.X_OK) else 0o644
        members[SOURCE_FOLDER + name] = (read_file(path), mode)
    for library in DEBIAN_LGPL_LIBRARIES:
        debian_source_file(sources, library)  # exactly one version of it is kept
        files = sorted(glob.glob(os.path.join(sources, library, "*")))
        if not any(name.endswith(".orig.tar.gz") or ".orig.tar." in name for name in files):
            raise PackageError("the upstream tarball of %s is not in %s (run tools/windows/build-deps.sh)"
                               % (library, os.path.join(sources, library)))
        for path in files:
            members["%s%s/%s" % (SOURCE_DEBIAN, library, os.path.basename(path))] = (read_file(path), 0o644)
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
    if args.source_out:
        if args.out or args.program or args.archive:
            parser.error("--source-out packs the sources alone")
        write_archive(args.source_out, source_members(args.source, sources))
        return 0
    if not (args.out and args.program and args.archive):
        parser.error("--out, --program and --archive are needed for the package")

    readme_text = read_file(os.path.join(args.source, "tools/windows/README.txt"))
    freetype_credit = FREETYPE_CREDIT % freetype_year(debian_copyright(sources, "freetype"))
    flat = " ".join(readme_text.decode("utf-8").split())
    for credit in (IJG_CREDIT, freetype_credit):
        if credit not in flat:
            raise PackageError("tools/windows/README.txt does not state the credit \"%s\"" % credit)
    members = {
        "racer_d3d.exe": read_file(args.program),
        "quorin.zip": read_file(args.archive),
        "README.txt": ("\r\n".join(readme_text.decode("utf-8").splitlines()) + "\r\n").encode("utf-8"),
    }
    for file, package, _, _ in LIBRARIES:
        members["licences/" + file] = debian_copyright(sources, package)
    for file, path, _, _, _, _ in OTHER_FILES:
        members["licences/" + file] = read_file(os.path.join(args.source, path))
    referred = set(COMMON_LICENCES)
    for member, data in members.items():
        if member.startswith("licences/"):
            referred.update(name.decode("ascii") for name in COMMON_REFERENCE.findall(data))
    for name in sorted(referred):
        members["licences/common/%s.txt" % name] = read_file("/usr/share/common-licenses/" + name)
    our_patches = patches(args.source)
    for library_patches in our_patches.values():
        for name, _ in library_patches:
            members["licences/patches/" + name] = read_file(os.path.join(args.source, "tools/windows/patches",
                                                                         name))
    members["licences/README.txt"] = readme(versions(args.deps), sources, devil_tarball(args.source),
                                            our_patches, freetype_credit)

    write_archive(args.out, {FOLDER + name: (data, 0o644) for name, data in members.items()})
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main(sys.argv[1:]))
    except PackageError as error:
        sys.stderr.write("package: %s\n" % error)
        sys.exit(1)
