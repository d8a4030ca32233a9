#!/usr/bin/env python3
"""Checks quorin-windows.zip, what a Windows player downloads:

    check_windows_package.py PACKAGE BIN_DIR OBJDUMP

- it holds Quorin/racer_d3d.exe and Quorin/quorin.zip, the same bytes as
  the ones in BIN_DIR that the whole-program tests play;
- racer_d3d.exe needs no DLL but Windows' own (a DLL of the compiler's
  runtime or of a library would be missing on the player's machine);
- every licence file the licence index names is there and not empty, and
  nothing in licences/ goes unnamed but the full licence texts in
  licences/common/, which the copyright files refer to.

Prints each fault; exits 0 when there is none, 1 otherwise.
"""
import re
import subprocess
import sys
import zipfile

FOLDER = "Quorin/"
# DLLs every Windows has; the program may import nothing else.
WINDOWS_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "d3d9.dll", "comctl32.dll", "winmm.dll",
                "msvcrt.dll", "advapi32.dll", "shell32.dll", "ole32.dll"}


def main(argv):
    if len(argv) != 4:
        sys.stderr.write(__doc__)
        return 2
    package, bindir, objdump = argv[1:]
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
        named = set(re.findall(r"see (\S+\.txt)", index))
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
            # The full licence texts the copyright files refer to.
            if file.startswith("common/"):
                if not z.read(member).strip():
                    faults.append("licences/%s is empty" % file)
            elif file not in named:
                faults.append("licences/%s is not named in the index" % file)
        others = {n for n in names if not n.startswith(FOLDER + "licences/")} - {
            FOLDER + "racer_d3d.exe", FOLDER + "quorin.zip"}
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

    for fault in faults:
        print("windows package: " + fault)
    if faults:
        return 1
    print("windows package: %d members; racer_d3d.exe imports %s" % (len(names), ", ".join(imports)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
