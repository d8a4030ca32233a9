#!/usr/bin/env bash
# Checks a windowed program from start to exit under its own Xvfb:
#
#     tests/xvfb/window-test.sh --program build/bin/racer_gl --title Quorin \
#         --size 640x480 --action escape --shots build/shots/escape \
#         [--workdir build/bin] [--timeout 60] [--settle 2]
#
# It starts the program (in --workdir, default the program's folder), waits
# for a visible window named exactly --title, checks its size, lets it run
# for --settle seconds, saves screenshots (before.png, after.png) and the
# program's output (output.log) in --shots, then ends it with --action:
# "escape" presses Escape, "close" asks the window to close as a window
# manager's close button does (WM_DELETE_WINDOW), "none" waits for it to end
# by itself. Passes (0) when the program then exits with status 0 within
# --timeout seconds. Exits 77, which ctest takes as skipped through
# SKIP_RETURN_CODE, when the program has not been built (a failure when
# QUORIN_NO_SKIP is set, as tools/test.sh does: tests/skip.sh).
set -u
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/xvfb.sh"

program="" title="" size="" action="escape" shots="" workdir="" timeout=60 settle=2
while [ $# -gt 0 ]; do
    case "$1" in
        --program) program="$2"; shift 2 ;;
        --title) title="$2"; shift 2 ;;
        --size) size="$2"; shift 2 ;;
        --action) action="$2"; shift 2 ;;
        --shots) shots="$2"; shift 2 ;;
        --workdir) workdir="$2"; shift 2 ;;
        --timeout) timeout="$2"; shift 2 ;;
        --settle) settle="$2"; shift 2 ;;
        *) echo "window-test: unknown argument $1" >&2; exit 64 ;;
    esac
done
[ -n "$program" ] && [ -n "$title" ] || { echo "window-test: --program and --title are required" >&2; exit 64; }
source "$here/../skip.sh"
[ -x "$program" ] || skip_test window-test "$program has not been built"
program="$(cd "$(dirname "$program")" && pwd)/$(basename "$program")"
[ -n "$workdir" ] || workdir="$(dirname "$program")"
[ -n "$shots" ] || shots="$(pwd)/shots"
mkdir -p "$shots"
shots="$(cd "$shots" && pwd)"

fail() {
    echo "window-test: FAILED: $*" >&2
    [ -f "$shots/output.log" ] && { echo "--- program output ---" >&2; tail -n 60 "$shots/output.log" >&2; }
    [ -n "${pid:-}" ] && kill -9 "$pid" 2>/dev/null
    exit 1
}

xvfb_start || exit 1
(cd "$workdir" && exec "$program") >"$shots/output.log" 2>&1 &
pid=$!

wid=$(xvfb_wait_window "$title" "$timeout") || fail "no window titled \"$title\""
if [ -n "$size" ]; then
    got=$(xvfb_window_size "$wid" | tr ' ' 'x')
    [ "$got" = "$size" ] || fail "window is $got, expected $size"
fi
sleep "$settle"
kill -0 "$pid" 2>/dev/null || fail "the program ended on its own before $action"
xvfb_screenshot "$shots/before.png"
sleep 1
kill -0 "$pid" 2>/dev/null || fail "the program ended on its own before $action"
xvfb_screenshot "$shots/after.png"

case "$action" in
    escape) xvfb_key "$wid" Escape ;;
    close) xvfb_close "$wid" || fail "could not ask the window to close" ;;
    none) ;;
    *) fail "unknown action $action" ;;
esac
xvfb_wait_exit "$pid" "$timeout"
status=$?
pid=""
[ $status -eq 0 ] || fail "exit status $status after $action"
echo "window-test: \"$title\" ${size:+$size }ended with status 0 after $action; screenshots in $shots"
exit 0
