#!/usr/bin/env bash
# Runs a Windows program under Wine with a display of its own (Xvfb, where
# Wine's Direct3D 9 draws through Mesa's software OpenGL) and a Wine prefix
# and server of its own (tests/xvfb/wine.sh), and exits with the program's
# status (a Google Test program, started through tools/windows/wine-run.sh):
#
#     tests/d3d/wine-window.sh WINE_ROOT program.exe [arguments]
set -u
here="$(dirname "$0")"
source "$here/../xvfb/xvfb.sh"
source "$here/../xvfb/wine.sh"
root="$1"
shift
xvfb_start || exit 1
wine_start "$root" || exit 1
bash "$here/../../tools/windows/wine-run.sh" wine "$@" </dev/null
exit $?
