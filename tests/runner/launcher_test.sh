#!/usr/bin/env bash
# Runs tests/runner/ProbeTest.cpp's program through a launcher of Google Test
# programs and checks the status each run counts as: only a run of its tests
# to their end passes.
#
#     tests/runner/launcher_test.sh [--window] PROBE LAUNCHER [ARGUMENT...]
#
# LAUNCHER is what ctest runs test programs with: tests/runner/gtest-run.sh
# natively, "tools/windows/wine-run.sh wine" under Wine. With --window it is
# a wrapper that gives the program a display first (tests/xvfb/run.sh,
# tests/d3d/wine-window.sh WINE_ROOT), slower to start: only the rows
# marked w run through it.
set -u
window=0
[ "${1:-}" = --window ] && { window=1; shift; }
[ $# -ge 2 ] || { echo "usage: launcher_test.sh [--window] PROBE LAUNCHER [ARGUMENT...]" >&2; exit 64; }
probe="$1"
shift
failures=0

# expect WANT PROBE-MODE [PROGRAM ARGUMENT...]: WANT is pass (0), skip (77)
# or fail (any other status).
expect() {
    local want="$1" mode="$2" status got
    shift 2
    env -u QUORIN_NO_SKIP QUORIN_PROBE="$mode" "$@" "$probe" "${probe_args[@]}" >"$work/out" 2>&1 </dev/null
    status=$?
    case $status in
        0) got=pass ;;
        77) got=skip ;;
        *) got=fail ;;
    esac
    if [ "$got" != "$want" ]; then
        echo "launcher_test: FAILED: QUORIN_PROBE=$mode ${*} probe ${probe_args[*]}: status $status ($got), want $want" >&2
        sed 's/^/    | /' "$work/out" >&2
        failures=$((failures + 1))
    else
        echo "launcher_test: QUORIN_PROBE=$mode probe ${probe_args[*]}: $got (status $status)"
    fi
}

work="$(mktemp -d "${TMPDIR:-/tmp}/launcher-test.XXXXXX")" || exit 70
trap 'rm -rf "$work"' EXIT
launcher=("$@")

# want  window  mode                arguments of the probe
cases=(
  "pass  w  -                   "
  "pass  -  -                   --gtest_filter=Probe.First"
  "pass  -  -                   --gtest_list_tests"
  "fail  w  -                   --gtest_filter=NoSuch.Test"
  "fail  -  -                   --gtest_filter=Probe.First:Probe.Third"
  "pass  -  -                   --gtest_filter=Probe.First:Probe.Sec*-Probe.Third"
  "fail  -  -                   --gtest_filter=NoSuch.* --gtest_list_tests"
  "fail  -  fail                --gtest_filter=Probe.Second"
  "fail  w  exit                "
  "fail  -  exit                --gtest_filter=Probe.Second"
  "fail  -  exit-when-repeated  --gtest_repeat=2"
  "fail  -  exit-at-start       "
  "fail  -  exit-at-start       --gtest_list_tests"
  "skip  w  skip                --gtest_filter=Probe.Second"
)
for row in "${cases[@]}"; do
    read -r want in_window mode rest <<<"$row"
    [ $window = 0 ] || [ "$in_window" = w ] || continue
    read -r -a probe_args <<<"$rest"
    expect "$want" "$mode" "${launcher[@]}"
done
# A skip is a failure where nothing may be skipped (tools/test.sh).
probe_args=(--gtest_filter=Probe.Second)
expect fail skip env QUORIN_NO_SKIP=1 "${launcher[@]}"

[ $failures -eq 0 ] || { echo "launcher_test: $failures run(s) counted wrong" >&2; exit 1; }
echo "launcher_test: every run counted as it should"
