#!/usr/bin/env bash
# How long a program's window stays after Escape, and when the program has
# ended, under Xvfb (docs/perf-d3d.md):
#
#     tests/game/bench_close.sh [--wine WINE_ROOT] [--wm] PROGRAM [rounds]
#
# PROGRAM is racer_gl, or with --wine racer_d3d.exe under Wine with a prefix
# of its own (tests/xvfb/wine.sh). --wm runs a window manager (twm) on the
# Xvfb first, as on a desktop. Each round starts the program in its folder,
# waits for the main menu to settle, focuses the window, holds Escape and
# prints the seconds from the key press until the window is no longer shown
# and until the process has ended. Not run by ctest: no test has a timing
# threshold.
set -u
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/../xvfb/xvfb.sh"
wine_root="" wm=""
while [ $# -gt 0 ]; do
    case "$1" in
        --wine) wine_root="$2"; shift 2 ;;
        --wm) wm=1; shift ;;
        *) break ;;
    esac
done
program="$1" rounds="${2:-3}"
bindir="$(cd "$(dirname "$program")" && pwd)"
program="$bindir/$(basename "$program")"

xvfb_start || exit 1
launcher=()
if [ -n "$wine_root" ]; then
    source "$here/../xvfb/wine.sh"
    wine_start "$wine_root" || exit 1
    launcher=(wine)
fi
work="$(mktemp -d)"
wm_pid=""
cleanup() {
    [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null
    [ -n "$wine_root" ] && wine_stop
    xvfb_stop
    rm -rf "$work"
}
trap cleanup EXIT
if [ -n "$wm" ]; then
    command -v twm >/dev/null || { echo "bench_close: twm is not installed" >&2; exit 1; }
    printf '%s\n' 'RandomPlacement' 'UsePPosition "on"' 'NoGrabServer' 'TitleFont "fixed"' 'ResizeFont "fixed"' \
        'MenuFont "fixed"' 'IconFont "fixed"' 'IconManagerFont "fixed"' >"$work/twmrc"
    twm -f "$work/twmrc" >/dev/null 2>&1 &
    wm_pid=$!
fi
export SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"
now() { date +%s.%N; }

for round in $(seq "$rounds"); do
    (cd "$bindir" && exec "${launcher[@]}" "$program") >"$work/output.log" 2>&1 &
    pid=$!
    wid=$(xvfb_wait_window "Quorin" 60) || exit 1
    sleep 6
    xdotool windowfocus --sync "$wid" 2>/dev/null || xdotool windowfocus "$wid"
    start=$(now)
    xdotool keydown Escape
    hidden=""
    while kill -0 "$pid" 2>/dev/null; do
        if [ -z "$hidden" ] && ! xwininfo -id "$wid" 2>/dev/null | grep -q IsViewable; then
            hidden=$(now)
        fi
        sleep 0.01
    done
    ended=$(now)
    xdotool keyup Escape
    wait "$pid"
    status=$?
    [ -n "$hidden" ] || hidden=$ended
    awk -v r="$round" -v s="$start" -v h="$hidden" -v e="$ended" -v st="$status" 'BEGIN {
        printf "round %d: window gone after %.3f s, program ended after %.3f s (status %d)\n", r, h - s, e - s, st }'
done
