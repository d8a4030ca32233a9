#!/usr/bin/env bash
# Runs one Google Test program of the Windows build under Wine and exits
# with its status: the cross build's emulator, through which ctest runs the
# test programs and lists their cases, and the runner of the programs that
# tests/d3d/wine-window.sh starts in their windows.
#
#     tools/windows/wine-run.sh WINE program.exe [arguments]
#
# Wine can fail to start a program: the process ends at once without having
# run a line of it, and, Wine's messages being off, says nothing. A Google
# Test program always writes its first line ("Running main() from ...") as
# it starts, so a run that wrote nothing at all to its standard output and
# ended within a few seconds never reached the program. Such a run is made
# again, once, and says so on its standard error and, when
# QUORIN_WINE_RERUN_LOG names a file, in that file (tools/windows/test.sh
# prints it after the suite). A program that wrote anything is never run
# again, whatever its status, and a second start that fails the same way
# fails: so does a program that ended with status 0 without a line from its
# framework, which is no run of its tests.
#
# The standard output is passed on as it comes (through tee, kept to look
# at), the standard error untouched.
set -u
[ $# -ge 2 ] || { echo "usage: wine-run.sh WINE program.exe [arguments]" >&2; exit 64; }
wine="$1"
shift
program="$(basename "$1")"
# A failed start ends in well under a second; under heavy load Wine's start
# alone can take a few.
launch_limit=10

out="$(mktemp "${TMPDIR:-/tmp}/wine-run.XXXXXX")" || exit 70
trap 'rm -f "$out"' EXIT

run_once() {
    local start=$SECONDS
    "$wine" "$@" | tee "$out"
    status=${PIPESTATUS[0]}
    elapsed=$((SECONDS - start))
}

note() {
    echo "wine-run: ******** $* ********" >&2
    if [ -n "${QUORIN_WINE_RERUN_LOG:-}" ]; then
        echo "$(date -u +%FT%TZ) $*" >>"$QUORIN_WINE_RERUN_LOG"
    fi
}

run_once "$@"
if [ ! -s "$out" ] && [ "$elapsed" -lt "$launch_limit" ]; then
    note "$program ($*) ended with status $status after ${elapsed}s without writing a line: Wine did not start it; running it again once"
    run_once "$@"
    if [ ! -s "$out" ]; then
        echo "wine-run: $program ended with status $status after ${elapsed}s without writing a line, again: it does not start under Wine" >&2
        [ "$status" -ne 0 ] || status=1
    fi
elif [ ! -s "$out" ] && [ "$status" -eq 0 ]; then
    echo "wine-run: $program ended with status 0 without writing a line: no test of it ran" >&2
    status=1
fi
exit "$status"
