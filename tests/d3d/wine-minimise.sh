#!/usr/bin/env bash
# A real minimise and restore of a D3dDevice window under Wine: a window
# manager (twm) runs on the test's own Xvfb, xdotool asks it to minimise
# the window as a click on its minimise button would, then to show it
# again, and gives it the focus as the player's click on it would.
#
#     tests/d3d/wine-minimise.sh WINE_ROOT d3d_device_tests.exe
#
# Runs D3dHost.AMinimiseByTheWindowManagerStopsTheClock, which checks the
# frame clock across it. The program keeps its window until this script has
# taken its last look at it (the file named by QUORIN_MINIMISE_DONE, made
# here after the restore): nothing here reads a window its program may have
# closed. Exits 77 (skipped) without twm, unless QUORIN_NO_SKIP is set
# (tools/test.sh), which makes that a failure.
set -u
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/../xvfb/xvfb.sh"
source "$here/../xvfb/wine.sh"
source "$here/../runner/verdict.sh"
root="$1" program="$2"
source "$here/../skip.sh"
command -v twm >/dev/null || skip_test wine-minimise "twm is not installed"

fail() {
    echo "wine-minimise: FAILED: $*" >&2
    [ -n "${log:-}" ] && cat "$log" >&2
    exit 1
}

# Waits up to 30 s for the window's WM_STATE (set by the window manager).
# The program holds its window open meanwhile; should it end all the same,
# that is said at once.
wait_state() {
    local tries=0
    while [ $tries -lt 300 ]; do
        xprop -id "$wid" WM_STATE 2>/dev/null | grep -q "window state: $1" && return 0
        kill -0 "$pid" 2>/dev/null || fail "the program ended before its window became $1"
        sleep 0.1
        tries=$((tries + 1))
    done
    fail "the window did not become $1"
}

xvfb_start || exit 1
wine_start "$root" || exit 1
work="$(mktemp -d)"
log="$work/output.log"
# New windows go where they ask to be, not where a click would put them;
# X's core font, as no other is sure to be there.
printf '%s\n' 'RandomPlacement' 'UsePPosition "on"' 'NoGrabServer' 'TitleFont "fixed"' 'ResizeFont "fixed"' \
    'MenuFont "fixed"' 'IconFont "fixed"' 'IconManagerFont "fixed"' >"$work/twmrc"
twm -f "$work/twmrc" >"$work/twm.log" 2>&1 &
wm=$!
trap 'kill $wm 2>/dev/null; wine_stop; xvfb_stop; rm -rf "$work"' EXIT

# The file the program waits for.
done_file="$work/done"
# Through exit_code.exe, for the exit code Windows gave it (tests/xvfb/wine.sh).
code="$work/exit-code"
# Judged as every Google Test run is (tests/runner/verdict.sh).
premature="$work/premature"
QUORIN_WINDOW_MANAGER=twm QUORIN_MINIMISE_DONE="$(wine_path "$done_file")" \
    TEST_PREMATURE_EXIT_FILE="$(wine_path "$premature")" \
    wine "$(dirname "$program")/exit_code.exe" "$(wine_path "$code")" "$(wine_path "$program")" \
    --gtest_filter=D3dHost.AMinimiseByTheWindowManagerStopsTheClock >"$log" 2>&1 </dev/null &
pid=$!
wid=$(xvfb_wait_window "Quorin test" 60) || fail "no window"
kill -0 $wm 2>/dev/null || fail "twm did not start: $(cat "$work/twm.log")"
wait_state Normal
xdotool windowminimize "$wid"
wait_state Iconic
sleep 1
xdotool windowmap "$wid"
wait_state Normal
xdotool windowfocus "$wid" 2>/dev/null
# The last look at the window: the program may close it from now on.
touch "$done_file"
# Longer than the program's own give-up (four minutes from its start), so
# that a game that never ran again after the restore is told by the test's
# own assertions, not only by being killed here.
xvfb_wait_exit "$pid" 300
status=$(wine_exit_status "$code" $?)
gtest_verdict "$(basename "$program")" "$status" "$log" "$premature"
[ "$gtest_status" -eq 0 ] || fail "exit status $status, counted as $gtest_status"
echo "wine-minimise: minimised and restored by twm; the frame clock stopped meanwhile"
