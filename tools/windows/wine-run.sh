#!/usr/bin/env bash
# Runs one Google Test program of the Windows build under Wine and exits
# with its status: the cross build's emulator, through which ctest runs the
# test programs and lists their cases, and the runner of the programs that
# tests/d3d/wine-window.sh starts in their windows.
#
#     tools/windows/wine-run.sh WINE program.exe [arguments]
#
# The run is judged as natively (tests/runner/verdict.sh): status 0 counts
# only when the framework says it ran to its end (its premature-exit file
# gone, a listing naming a test suite, the closing summary of at least one
# test run, no test skipped). A program that ended with status 0 without
# that (an exit in the code under test, a filter that selects nothing)
# fails.
#
# One failure of Wine itself is told apart: a start that Wine could not
# map the page every Windows process has at 0x7ffe0000 ("failed to map the
# shared user data", on Wine's "virtual" error channel, shown here whatever
# WINEDEBUG says) ends before a line of the program ran. Such a start alone
# is made again, once: the run wrote nothing to its standard output, and
# its standard error holds nothing but Wine's own debug lines, that message
# among them. A program that wrote anything at all is never run again,
# whatever its status. Each second start is announced on the standard error
# and, when QUORIN_WINE_RERUN_LOG names a file, written there
# (tools/windows/test.sh prints that file after the suite, whatever its
# result).
#
# The standard output is passed on as it comes (through tee, kept to look
# at), the standard error once the program has ended.
set -u
source "$(dirname "${BASH_SOURCE[0]}")/../../tests/runner/verdict.sh"
[ $# -ge 2 ] || { echo "usage: wine-run.sh WINE program.exe [arguments]" >&2; exit 64; }
wine="$1"
shift
program="$(basename "$1")"

# The error channel that reports the failed mapping, on top of whatever the
# caller chose (tools/windows/test.sh turns every other message off).
export WINEDEBUG="${WINEDEBUG:+$WINEDEBUG,}err+virtual"

work="$(mktemp -d "${TMPDIR:-/tmp}/wine-run.XXXXXX")" || exit 70
# The standard error is kept in a file and passed on once the program has
# ended: Wine's own processes (its services, the desktop of a prefix made
# for one window test) inherit it and can outlive the program, so a pipe
# on it would not end with the program. Passed on also when this script is
# ended (a test's timeout).
err_shown=1
show_err() {
    [ $err_shown = 1 ] || cat "$work/err" >&2
    err_shown=1
}
trap 'show_err; rm -rf "$work"' EXIT
trap 'exit 143' TERM INT

# The status a Unix parent sees is not always the program's: once a
# process has ended for Windows, wineserver kills (SIGKILL) what is left of
# it when it does not leave within a second, which a busy machine can do
# to a program that ended with 0. The program is therefore started through
# exit_code.exe, built beside the test programs (tools/windows/exit-code),
# which writes the exit code Windows got to a file; that code is the
# status (0, else its low byte, else 1). Without that file (exit_code.exe
# did not get so far) the Unix status stands.
launcher="$(dirname "$1")/exit_code.exe"
winpath() { echo "Z:${1//\//\\}"; }
# Google Test's premature-exit file, named for Windows.
export TEST_PREMATURE_EXIT_FILE="$(winpath "$work/premature")"
run_once() {
    : >"$work/out"
    : >"$work/err"
    rm -f "$work/code" "$work/premature"
    err_shown=0
    if [ -f "$launcher" ]; then
        local program_path="$1"
        [ "${program_path#/}" = "$program_path" ] || program_path="$(winpath "$program_path")"
        "$wine" "$launcher" "$(winpath "$work/code")" "$program_path" "${@:2}" 2>"$work/err" | tee "$work/out"
    else
        "$wine" "$@" 2>"$work/err" | tee "$work/out"
    fi
    status=${PIPESTATUS[0]}
    local code
    code=$(tr -dc '0-9' <"$work/code" 2>/dev/null)
    if [ -n "$code" ]; then
        if [ "$code" -eq 0 ]; then
            status=0
        elif [ $((code & 255)) -ne 0 ]; then
            status=$((code & 255))
        else
            status=1
        fi
    fi
    show_err
}

note() {
    echo "wine-run: ******** $* ********" >&2
    if [ -n "${QUORIN_WINE_RERUN_LOG:-}" ]; then
        echo "$(date -u +%FT%TZ) $*" >>"$QUORIN_WINE_RERUN_LOG"
    fi
}

# True when the run wrote nothing but Wine's report that it could not map
# the shared user data: Wine's debug lines read "0024:err:virtual:...".
wine_failed_to_map() {
    [ "$status" -ne 0 ] && [ ! -s "$work/out" ] && [ -s "$work/err" ] || return 1
    grep -q 'failed to map the shared user data' "$work/err" || return 1
    ! grep -v -E -q $'^[0-9a-f]+:(err|fixme|warn|trace):[^:]*:.*\r?$' "$work/err"
}

run_once "$@"
if wine_failed_to_map; then
    note "$program ($*): Wine could not map the shared user data ($(tr -d '\r' <"$work/err" | head -n 1)), before any line of the program ran; running it again once"
    run_once "$@"
fi

gtest_verdict "$program" "$status" "$work/out" "$work/premature" "${@:2}"
exit "$gtest_status"
