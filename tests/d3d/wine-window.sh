#!/usr/bin/env bash
# Runs a Windows program under Wine with a display of its own (Xvfb; Wine's
# Direct3D 9 draws through Mesa's software OpenGL there) and exits with the
# program's status:
#
#     tests/d3d/wine-window.sh <wine> program.exe [arguments]
#
# The Wine prefix is the caller's (WINEPREFIX); Wine's messages are off
# unless WINEDEBUG says otherwise.
set -u
source "$(dirname "$0")/../xvfb/xvfb.sh"
wine="$1"
shift
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
xvfb_start || exit 1
"$wine" "$@" </dev/null
status=$?
xvfb_stop
exit $status
