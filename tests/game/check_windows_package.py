#!/usr/bin/env python3
"""Checks quorin-windows.zip, what a Windows player downloads:

    check_windows_package.py PACKAGE SOURCE_PACKAGE BIN_DIR OBJDUMP DEPS_DIR BUILD_DIR

- it holds Quorin/racer_d3d.exe and Quorin/quorin.zip, the same bytes as
  the ones in BIN_DIR that the whole-program tests play;
- racer_d3d.exe carries no debugging sections and no symbol table, and is
  the program as linked (BIN_DIR/../unstripped/racer_d3d.exe, which keeps
  them) with only those taken out: the same code and data, section by
  section;
- racer_d3d.exe needs no DLL but Windows' own (a DLL of the compiler's
  runtime or of a library would be missing on the player's machine);
- racer_d3d.exe holds no path of the build machine: neither the source
  tree's, nor BUILD_DIR's, nor that of DEPS_DIR, the tree the libraries
  were built in (an assertion of a library built without NDEBUG leaves
  its source's path), as they are given or with links resolved, in 8- or
  16-bit characters;
- README.txt is there with Windows line ends and tells how to start, the
  keys and what a content error means;
- README.txt says what happens while the game stands still (music and
  sounds go on);
- every licence file the licence index names is there and not empty, and
  nothing in licences/ goes unnamed but the full licence texts in
  licences/common/, which the copyright files refer to: each text a file
  refers to as /usr/share/common-licenses/<name> is there;
- what the libraries' licences ask of a program given out as a binary:
  the IJG and FreeType credits in README.txt and in the index; every patch
  of ours (tools/windows/patches) in licences/patches/, as it is, and named
  in the index; for each LGPL library (DevIL, libsndfile, libxmp) its exact
  source (the Debian source package, its version and the SHA-256 of its
  .dsc, or DevIL's tarball with the SHA-256 it has), and how to link the
  program again (the build scripts, the permission to modify and
  reverse-engineer);
- SOURCE_PACKAGE, the sources given out beside the package, which the
  index names: the game's source with its build scripts, DevIL's tarball
  and our patches, as they are in the tree, and for libsndfile and libxmp
  the Debian source package whose .dsc the index gives, every file the
  .dsc lists there with the SHA-256 it states;
- the versions and SHA-256 the index gives are those pinned in
  tools/windows/library-sources.txt, which build-deps.sh builds; each
  version 3 text of licences/common/ is named in the index (which says
  why it is there); mingw-w64's runtime, libgcc/libstdc++ and the DejaVu
  fonts have versions;
- the source package has a README.txt at its top giving the commands,
  which libraries are fetched from the package registry, each at its
  pinned version, which ones it carries itself, and how to change a
  library and link again.

Prints each fault; exits 0 when there is none, 1 otherwise.
"""
import glob
import hashlib
import os
import re
import subprocess
import sys
import tempfile
import zipfile

FOLDER = "Quorin/"
# What the player's README must speak of.
README_TOPICS = ["racer_d3d.exe", "quorin.zip", "Escape", "Left / Right", "X / V", "Space", "left Control",
                 "content error", "Music and sounds go on", "Alt+F4", "licences/README.txt",
                 # the two messages of a quorin.zip that is not there, or cannot be read
                 "there is no data archive", "is damaged or not a zip archive"]
# Credits the IJG licence (libjpeg-turbo) and the FreeType Licence ask the
# documentation of a program given out as a binary to state.
CREDITS = [("This software is based in part on the work of the Independent JPEG Group.",
            re.escape("This software is based in part on the work of the Independent JPEG Group.")),
           ("Portions of this software are copyright \u00a9 <year> The FreeType Project (www.freetype.org). "
            "All rights reserved.",
            re.escape("Portions of this software are copyright \u00a9 ") + r"(19|20)\d\d "
            + re.escape("The FreeType Project (www.freetype.org). All rights reserved."))]
SOURCE_TREE = os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, os.pardir)
# DLLs every Windows has; the program may import nothing else.
WINDOWS_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "d3d9.dll", "comctl32.dll", "winmm.dll",
                "msvcrt.dll", "advapi32.dll", "shell32.dll", "ole32.dll"}


def main(argv):
    if len(argv) != 7:
        sys.stderr.write(__doc__)
        return 2
    package, source_package, bindir, objdump, deps, build = argv[1:]
    faults = []
    with zipfile.ZipFile(package) as z:
        names = set(z.namelist())
        for name in ("racer_d3d.exe", "quorin.zip"):
            with open("%s/%s" % (bindir, name), "rb") as f:
                built = f.read()
            if FOLDER + name not in names:
                faults.append("%s is missing" % name)
            elif z.read(FOLDER + name) != built:
                faults.append("%s differs from %s/%s" % (name, bindir, name))

        index_name = FOLDER + "licences/README.txt"
        if index_name not in names:
            faults.append("the licence index licences/README.txt is missing")
            index = ""
        else:
            index = z.read(index_name).decode("utf-8")
        named = set(re.findall(r"see (\S+\.(?:txt|patch))", index))
        for file in sorted(named):
            member = FOLDER + "licences/" + file
            if member not in names:
                faults.append("licences/%s, named in the index, is missing" % file)
            elif not z.read(member).strip():
                faults.append("licences/%s is empty" % file)
        for member in sorted(names):
            if not member.startswith(FOLDER + "licences/") or member == index_name:
                continue
            file = member[len(FOLDER + "licences/"):]
            if not file.startswith("common/"):
                for text in sorted(set(re.findall(rb"/usr/share/common-licenses/([A-Za-z][A-Za-z0-9.+_-]*[A-Za-z0-9])",
                                                  z.read(member)))):
                    if FOLDER + "licences/common/%s.txt" % text.decode("ascii") not in names:
                        faults.append("licences/%s refers to /usr/share/common-licenses/%s, which is not in "
                                      "licences/common/" % (file, text.decode("ascii")))
            # The full licence texts the copyright files refer to.
            if file.startswith("common/"):
                if not z.read(member).strip():
                    faults.append("licences/%s is empty" % file)
            elif file not in named:
                faults.append("licences/%s is not named in the index" % file)
        faults += binary_licence_faults(z, names, index)
        faults += pinned_faults(z, names, index)
        faults += source_package_faults(source_package, index)
        if FOLDER + "README.txt" not in names:
            faults.append("README.txt is missing")
        else:
            readme = z.read(FOLDER + "README.txt")
            if readme.count(b"\n") != readme.count(b"\r\n") or not readme.endswith(b"\r\n"):
                faults.append("README.txt has lines not ended by CR LF")
            text = readme.decode("utf-8")
            for topic in README_TOPICS:
                if topic not in text:
                    faults.append("README.txt does not mention %s" % topic)
            flat = " ".join(text.split())
            for credit, pattern in CREDITS:
                if not re.search(pattern, flat):
                    faults.append("README.txt does not state the credit \"%s\"" % credit)
        others = {n for n in names if not n.startswith(FOLDER + "licences/")} - {
            FOLDER + "racer_d3d.exe", FOLDER + "quorin.zip", FOLDER + "README.txt"}
        for member in sorted(others):
            faults.append("unexpected member %s" % member)

    dump = subprocess.run([objdump, "-p", "%s/racer_d3d.exe" % bindir], check=True,
                          stdout=subprocess.PIPE, universal_newlines=True).stdout
    imports = re.findall(r"DLL Name: (\S+)", dump)
    if not imports:
        faults.append("no import table found in racer_d3d.exe")
    for dll in imports:
        if dll.lower() not in WINDOWS_DLLS:
            faults.append("racer_d3d.exe needs %s, which Windows does not have" % dll)

    program = "%s/racer_d3d.exe" % bindir
    faults += build_path_faults(program, [SOURCE_TREE, build, deps])
    unstripped = os.path.join(bindir, os.pardir, "unstripped", "racer_d3d.exe")
    shipped_sections = sections(objdump, program)
    debug = [name for name in shipped_sections if name.startswith(".debug")]
    if debug:
        faults.append("racer_d3d.exe carries debugging sections: %s" % " ".join(debug))
    if has_symbols(objdump, program):
        faults.append("racer_d3d.exe carries a symbol table")
    if not os.path.isfile(unstripped):
        faults.append("no unstripped racer_d3d.exe kept in %s" % os.path.dirname(unstripped))
    else:
        linked_sections = sections(objdump, unstripped)
        if not any(name.startswith(".debug") for name in linked_sections):
            faults.append("the unstripped racer_d3d.exe has no debugging sections")
        kept = [name for name in linked_sections if not name.startswith(".debug")]
        if kept != shipped_sections:
            faults.append("stripping changed the program's sections: %s, not %s" % (shipped_sections, kept))
        else:
            objcopy = re.sub(r"objdump(\.exe)?$", r"objcopy\1", objdump)
            for name in kept:
                if name == ".bss":
                    continue
                if section_bytes(objcopy, program, name) != section_bytes(objcopy, unstripped, name):
                    faults.append("section %s of racer_d3d.exe differs from the program as linked" % name)

    for fault in faults:
        print("windows package: " + fault)
    if faults:
        return 1
    print("windows package: %d members; racer_d3d.exe (%d bytes, %s) imports %s"
          % (len(names), os.path.getsize(program), " ".join(shipped_sections), ", ".join(imports)))
    return 0


def build_path_faults(program, trees):
    """Paths of TREES (as given and resolved) that PROGRAM holds, with the
    string around the first of each."""
    with open(program, "rb") as f:
        data = f.read()
    faults = []
    paths = sorted(set(os.path.normpath(os.path.abspath(tree)) for tree in trees) |
                   set(os.path.realpath(tree) for tree in trees))
    for path in paths:
        for encoding in ("utf-8", "utf-16-le"):
            found = data.find(path.encode(encoding))
            if found < 0:
                continue
            width = 2 if encoding == "utf-16-le" else 1
            end = found
            while end + width <= len(data) and data[end:end + width] != b"\0" * width:
                end += width
            faults.append("racer_d3d.exe holds the build machine's path %s (%s): %s"
                          % (path, encoding, data[found:end].decode(encoding, "replace")))
    return faults


def pins():
    """Library -> (origin, version, SHA-256) of tools/windows/library-sources.txt."""
    result = {}
    with open(os.path.join(SOURCE_TREE, PINS), encoding="utf-8") as f:
        for line in f:
            fields = line.split()
            if fields and not fields[0].startswith("#"):
                result[fields[0]] = tuple(fields[1:])
    return result


def pinned_faults(z, names, index):
    """What the index says against the pins, the version 3 texts and the
    versions of the runtime and fonts."""
    faults = []
    flat = " ".join(index.split())
    index = index.replace("\r\n", "\n")
    for library, (origin, version, sha256) in sorted(pins().items()):
        if library == "googletest":
            continue  # not in the program
        name = "DevIL (IL)" if library == "devil" else library
        if not re.search(r"^%s, version %s$" % (re.escape(name), re.escape(version)), index, re.MULTILINE):
            faults.append("the licence index does not give %s at its pinned version %s" % (library, version))
        if library in ("devil", "libsndfile", "libxmp") and sha256 not in flat:
            faults.append("the licence index does not give the pinned SHA-256 of %s's source" % library)
    for member in sorted(names):
        if member.startswith(FOLDER + "licences/common/") and \
                re.search(rb"^\s*Version 3, 29 June 2007\s*$", z.read(member)[:1000], re.MULTILINE):
            text = member[len(FOLDER + "licences/"):]
            if not re.search(r"Texts of version 3 .*%s" % re.escape(text), flat):
                faults.append("the licence index does not say why %s, a version 3 licence, is there" % text)
    for name in ("mingw-w64 C runtime and winpthreads", "libgcc and libstdc++", "DejaVu fonts"):
        if not re.search(r"^%s, version \d\S*\n    used for: .*\n    from: Debian 12's binary package"
                         % re.escape(name), index, re.MULTILINE):
            faults.append("the licence index gives no version of %s and the Debian package it comes from" % name)
    return faults


def source_readme_faults(z, names):
    """What README.txt at the top of the source package lacks."""
    if "README.txt" not in names:
        return ["the source package has no README.txt at its top"]
    text = z.read("README.txt").decode("utf-8")
    flat = " ".join(text.split())
    faults = []
    for command in ("bash tools/install-deps.sh", "bash tools/windows/build-deps.sh", "bash tools/windows/build.sh",
                    "apply_patch", "tools/windows/patches/", PINS):
        if command not in flat:
            faults.append("README.txt of the source package does not say %s" % command)
    for library, (origin, version, _) in sorted(pins().items()):
        if not origin.startswith("debian:"):
            continue
        package = origin[len("debian:"):]
        carried = any(name.startswith("debian-sources/%s/" % package) for name in names)
        told = ("%s %s, from debian-sources/%s/" % (library, version, package) if carried else
                "%s %s (Debian source package %s)" % (library, version, package))
        if told not in flat:
            faults.append("README.txt of the source package does not say \"%s\"" % told)
    if "fetches from Debian's package registry" not in flat:
        faults.append("README.txt of the source package does not say what is fetched from the package registry")
    return faults


def binary_licence_faults(z, names, index):
    """What the index lacks of the credits, our patches and the sources and
    relinking of the LGPL libraries."""
    faults = []
    flat = " ".join(index.split())
    for credit, pattern in CREDITS:
        if not re.search(pattern, flat):
            faults.append("the licence index does not state the credit \"%s\"" % credit)
    ours = sorted(glob.glob(os.path.join(SOURCE_TREE, "tools/windows/patches/*.patch")))
    if not ours:
        faults.append("no patch found in %s/tools/windows/patches" % SOURCE_TREE)
    for path in ours:
        name = os.path.basename(path)
        member = FOLDER + "licences/patches/" + name
        with open(path, "rb") as f:
            patch = f.read()
        if member not in names:
            faults.append("our patch %s is not in licences/patches/" % name)
        elif z.read(member) != patch:
            faults.append("licences/patches/%s differs from tools/windows/patches/%s" % (name, name))
        if "see patches/%s" % name not in flat:
            faults.append("the licence index does not name our patch patches/%s" % name)
        if "ours, patches/%s, applied" % name not in flat:
            faults.append("the licence index does not give patches/%s among the sources" % name)
    for library in ("libsndfile", "libxmp"):
        if not re.search(r"%s: the Debian source package %s, version \S+, %s_\S+\.dsc, SHA-256 [0-9a-f]{64} "
                         % (library, library, library), flat):
            faults.append("the licence index does not give the Debian source of %s with its .dsc and hash"
                          % library)
    devil = glob.glob(os.path.join(SOURCE_TREE, "third_party/devil/*.tar.*"))
    if len(devil) != 1:
        faults.append("expected one DevIL tarball in third_party/devil, found %d" % len(devil))
    else:
        with open(devil[0], "rb") as f:
            digest = hashlib.sha256(f.read()).hexdigest()
        if not re.search(r"DevIL: .* the tarball third_party/devil/%s of the game's source, SHA-256 %s "
                         % (re.escape(os.path.basename(devil[0])), digest), flat):
            faults.append("the licence index does not give DevIL's tarball with its SHA-256 %s" % digest)
    for words in ("GNU Lesser General Public License 2.1", "DevIL, libsndfile and libxmp",
                  "tools/windows/build-deps.sh", "tools/windows/build.sh", "reverse-engineer",
                  "snapshot.debian.org"):
        if words not in flat:
            faults.append("the licence index does not say how to link the program again (%s)" % words)
    return faults


# Files of the tree the source package must hold as they are: what it takes
# to build the program and its libraries again.
SOURCE_ESSENTIALS = ["CMakeLists.txt", "tools/install-deps.sh", "tools/windows/build-deps.sh",
                     "tools/windows/build.sh", "cmake/mingw-w64-x86_64.cmake", "gameplay/main.cpp",
                     "tools/windows/library-sources.txt"]
# Where the sources of the libraries are pinned, in the tree.
PINS = "tools/windows/library-sources.txt"


def source_package_faults(source_package, index):
    """What the source package given out beside the package lacks."""
    name = os.path.basename(source_package)
    flat = " ".join(index.split())
    faults = []
    if "in %s: the source of racer_d3d.exe itself" % name not in flat:
        faults.append("the licence index does not name the source package %s" % name)
    if not os.path.isfile(source_package):
        return faults + ["the source package %s is missing" % source_package]
    with zipfile.ZipFile(source_package) as z:
        names = set(z.namelist())

        def same_as_tree(relative):
            member = "quorin-source/" + relative
            with open(os.path.join(SOURCE_TREE, relative), "rb") as f:
                if member not in names:
                    faults.append("the source package lacks %s" % member)
                elif z.read(member) != f.read():
                    faults.append("%s of the source package differs from the tree" % member)

        faults += source_readme_faults(z, names)
        tree = os.path.normpath(SOURCE_TREE)
        for relative in SOURCE_ESSENTIALS:
            same_as_tree(relative)
        for path in sorted(glob.glob(os.path.join(tree, "third_party/devil/*.tar.*")) +
                           glob.glob(os.path.join(tree, "tools/windows/patches/*.patch"))):
            same_as_tree(os.path.relpath(path, tree))
        for library in ("libsndfile", "libxmp"):
            given = re.search(r"%s: the Debian source package %s, version \S+, (%s_\S+\.dsc), SHA-256 ([0-9a-f]{64}) "
                              % (library, library, library), flat)
            if not given:
                continue  # told by binary_licence_faults
            dsc = "debian-sources/%s/%s" % (library, given.group(1))
            if dsc not in names:
                faults.append("the source package lacks %s" % dsc)
                continue
            text = z.read(dsc)
            if hashlib.sha256(text).hexdigest() != given.group(2):
                faults.append("%s of the source package does not have the SHA-256 the index gives" % dsc)
            listed = re.search(r"^Checksums-Sha256:\n((?: .*\n)+)", text.decode("utf-8"), re.MULTILINE)
            if not listed:
                faults.append("%s lists no file with its SHA-256" % dsc)
                continue
            for line in listed.group(1).splitlines():
                digest, _, file = line.split()
                member = "debian-sources/%s/%s" % (library, file)
                if member not in names:
                    faults.append("the source package lacks %s, which %s lists" % (member, dsc))
                elif hashlib.sha256(z.read(member)).hexdigest() != digest:
                    faults.append("%s of the source package does not have the SHA-256 its .dsc lists" % member)
    return faults


def sections(objdump, program):
    """Section names of PROGRAM in their order."""
    dump = subprocess.run([objdump, "-h", program], check=True, stdout=subprocess.PIPE,
                          universal_newlines=True).stdout
    return re.findall(r"^\s*\d+\s+(\S+)\s", dump, re.MULTILINE)


def has_symbols(objdump, program):
    dump = subprocess.run([objdump, "-f", program], check=True, stdout=subprocess.PIPE,
                          universal_newlines=True).stdout
    return "HAS_SYMS" in dump


def section_bytes(objcopy, program, name):
    with tempfile.TemporaryDirectory() as work:
        out = os.path.join(work, "section")
        subprocess.run([objcopy, "-O", "binary", "-j", name, program, out], check=True)
        with open(out, "rb") as f:
            return f.read()


if __name__ == "__main__":
    sys.exit(main(sys.argv))
