#!/usr/bin/env bash
# Runs one Google Test program of the native build and exits with the
# status its run counts as (tests/runner/verdict.sh): the launcher through
# which ctest lists and runs the cases of every test program (the targets'
# CROSSCOMPILING_EMULATOR, tests/CMakeLists.txt) and through which
# tests/xvfb/run.sh runs its programs.
#
#     tests/runner/gtest-run.sh program [arguments]
#
# The program's standard output is passed on as it comes (through tee,
# kept to be judged), its standard error untouched.
set -u
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/verdict.sh"
[ $# -ge 1 ] || { echo "usage: gtest-run.sh program [arguments]" >&2; exit 64; }

work="$(mktemp -d "${TMPDIR:-/tmp}/gtest-run.XXXXXX")" || exit 70
trap 'rm -rf "$work"' EXIT
trap 'exit 143' TERM INT
export TEST_PREMATURE_EXIT_FILE="$work/premature"
"$@" | tee "$work/out"
status=${PIPESTATUS[0]}
gtest_verdict "$(basename "$1")" "$status" "$work/out" "$work/premature" "${@:2}"
exit "$gtest_status"
