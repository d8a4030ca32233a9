#!/usr/bin/env bash
# Plays the game under Xvfb with real key presses, as a player would, and
# checks each screen it reaches:
#
#     tests/game/play_game.sh [--wine WINE_ROOT] PROGRAM SHOTS_DIR one|two|fps
#
# PROGRAM is racer_gl, or with --wine racer_d3d.exe, run under Wine with a
# prefix of its own made from WINE_ROOT/template (tests/xvfb/wine.sh). Both
# programs show the same screens in a 640 x 480 window titled "Quorin", so
# every key and check below serves both.
#
# "one": the main menu (title and four items), the instructions opened and
# closed, a one-player game through ship selection to the countdown and the
# race with its head-up display, ended with Escape. "two": a two-player game
# showing two half-window views, ended with the window's close box (as a
# window manager sends it). Both need exit status 0 with no sanitizer report
# (so nothing leaked). "fps": the two-player race left running for 12
# seconds, for the frame-rate benchmark (bench_fps.sh), ended with Escape.
# The program runs in its own folder, where quorin.zip lies. Screenshots of
# every screen stay in SHOTS_DIR.
# Exits 77 (skipped) when the program or the archive has not been built,
# or fails then when QUORIN_NO_SKIP is set (tools/test.sh).
#
# A game is played once: whatever goes wrong once the program has started
# fails the test. Only the X server or Wine failing to start, before the
# program, is tried again, once, with a banner on the standard error. Every
# key is checked on the screen it should change before the next one is
# pressed, and pressed again where it was missed (press_until) or
# corrected where a screen allows it (menu_row); the screens are told apart
# by their white text, not by any change on them (the backdrop moves).
set -u
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/../xvfb/xvfb.sh"

wine_root=""
if [ "${1:-}" = --wine ]; then
    wine_root="$2"
    shift 2
fi
program="$1" shots="$2" mode="$3"

source "$here/../skip.sh"
[ -x "$program" ] || skip_test play_game "$program not built"
bindir="$(cd "$(dirname "$program")" && pwd)"
program="$bindir/$(basename "$program")"
[ -f "$bindir/quorin.zip" ] || skip_test play_game "no quorin.zip beside the program"
mkdir -p "$shots"
shots="$(cd "$shots" && pwd)"
rm -f "$shots"/*.png
check="python3 $here/screen_check.py"
# No sound card here: SDL's dummy audio driver, not ALSA probing for one.
export SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"
# Leaks inside Mesa, X11 and SDL themselves are not ours: they are
# suppressed by library name. The GL driver is unloaded before the leak
# check, so a few blocks it allocated can no longer be named; they show as
# indirect leaks (held only by suppressed platform blocks). The leak check
# therefore does not decide the exit status: the output is read instead, and
# any direct leak, sanitizer error or undefined behaviour fails the test.
export LSAN_OPTIONS="suppressions=$here/../lsan.supp:print_suppressions=0:exitcode=0"
failures=0

fail() {
    echo "play_game: FAILED: $*" >&2
    failures=$((failures + 1))
}

abort() {
    fail "$*"
    echo "--- program output ---" >&2
    tail -n 60 "$shots/output.log" >&2
    [ -n "${pid:-}" ] && kill -9 "$pid" 2>/dev/null
    exit 1
}

# A short press: 60 ms, held across a frame or two, short enough that the
# menus' one-key-per-0.2-s filter lets it through once. The X server itself
# times the release (press_key.py, XTEST's delay): a press timed by
# xdotool lasts as long as xdotool takes to be scheduled again, which on a
# busy machine can outlast 0.2 s and let the key through twice on a screen
# that cannot be corrected (the ship choice has no way back). The press
# waits a moment first: the menus time keys by the game clock as it stood
# before the frame, so a slow frame just before the press (a screenshot
# stalls the program's drawing) would let it through again on the next
# frame. A frame can still take longer than the press (the key is missed):
# the keys are therefore checked on the screen and pressed again when they
# changed nothing. With no window manager, a Wine window sees keys only once
# it has the focus.
press() {
    sleep 0.25
    xdotool windowfocus --sync "$wid" 2>/dev/null || xdotool windowfocus "$wid"
    python3 "$here/../xvfb/press_key.py" "$1" 60 || abort "could not press $1"
    sleep "${2:-0.5}"
}

shot() {
    kill -0 "$pid" 2>/dev/null || abort "the program ended before the screen $1"
    timeout 20 import -window "$wid" "$shots/$1.png" || abort "no screenshot $1"
}

# Moves the main menu's highlight to ROW, looking at the screen after each
# key: a slow frame can let one press through twice (the menus count game
# time), so the keys are corrected until the bar is where it should be.
menu_row() {
    local want="$1" tries=0 row
    while [ $tries -lt 10 ]; do
        shot menu-probe
        row=$($check darkest "$shots/menu-probe.png" 330 640 240 20 4)
        [ "$row" = "$want" ] && { rm -f "$shots/menu-probe.png"; return 0; }
        if [ "$row" -lt "$want" ]; then press Down; else press Up; fi
        tries=$((tries + 1))
    done
    abort "the menu highlight does not reach row $want"
}

expect() {
    $check "$@" || fail "screen check: $*"
}

# The screens, told apart by their white text, which does not move (the
# backdrop, its clouds and the turning ship do): the instructions' title at
# the top; the main menu's title and first item; a ship choice's title and
# first gauge label ("Adherence", at W / 6).
on_instructions() { $check bright "$1" 100 28 540 60 0.05 >/dev/null; }
on_menu() {
    ! on_instructions "$1" && $check bright "$1" 200 120 440 150 0.05 >/dev/null &&
        $check bright "$1" 160 243 300 257 0.03 >/dev/null
}
on_ship_choice() {
    $check bright "$1" 100 78 540 110 0.05 >/dev/null && $check bright "$1" 106 178 220 197 0.05 >/dev/null
}
off_ship_choice() { ! on_ship_choice "$1"; }
# Player 2's choice after player 1's (BEFORE): the title (one digit apart)
# and the bottom line both changed.
on_player2_choice() {
    on_ship_choice "$1" && $check text-differ "$before" "$1" 150 75 300 115 0.02 >/dev/null &&
        $check text-differ "$before" "$1" 100 415 540 442 0.03 >/dev/null
}
# Another ship than on BEFORE: its name (under "Nom") changed.
other_ship() { on_ship_choice "$1" && $check text-differ "$before" "$1" 106 138 240 160 0.03 >/dev/null; }

# Presses KEY until the screen is the one TEST (one of the above, given the
# screenshot) says, at most eight times: a press shorter than a frame is
# missed, changes nothing and is pressed again. The screen reached is kept
# as NAME.png. A screen changed by something else than the key (a key that
# passed twice, a program that went its own way) does not pass the test
# either: after eight presses the test fails, naming the screen wanted.
press_until() {
    local key="$1" test="$2" name="$3" tries=0
    while [ $tries -lt 8 ]; do
        press "$key" 1
        shot "$name"
        $test "$shots/$name.png" && return 0
        tries=$((tries + 1))
    done
    abort "$key does not lead to the screen $name ($test)"
}

# The X server and, for racer_d3d, Wine's prefix and server: a failure to
# start them is the machine's, not the program's (it has not started yet),
# and is tried again once, saying so.
launcher=()
if [ -n "$wine_root" ]; then
    source "$here/../xvfb/wine.sh"
    # Through exit_code.exe, for the exit code Windows gave the program.
    code="$shots/exit-code.txt"
    rm -f "$code"
    launcher=(wine "$bindir/exit_code.exe" "$(wine_path "$code")")
    program="$(wine_path "$program")"
fi
start_environment() {
    xvfb_start || return 1
    [ -z "$wine_root" ] || wine_start "$wine_root"
}
if ! start_environment; then
    echo "play_game: ******** the X server or Wine did not start (the program had not started): starting them again, once ********" >&2
    [ -z "$wine_root" ] || wine_stop
    xvfb_stop
    start_environment || { echo "play_game: FAILED: the X server or Wine did not start, twice" >&2; exit 1; }
fi
(cd "$bindir" && exec "${launcher[@]}" "$program") >"$shots/output.log" 2>&1 &
pid=$!
wid=$(xvfb_wait_window "Quorin" 60) || abort "no window titled Quorin"
size=$(xvfb_window_size "$wid" | tr ' ' 'x')
[ "$size" = "640x480" ] || fail "window is $size, not 640x480"
# The window comes before the content is loaded (racer_d3d under Wine on a
# busy machine can take many seconds): wait for the menu's title, then a
# moment more for the menu to settle.
for wait in $(seq 120); do
    shot 01-menu
    $check bright "$shots/01-menu.png" 200 120 440 150 0.05 >/dev/null && break
    sleep 0.5
done
sleep 2

# The main menu: the title (big font, top at H / 4) and four items from
# y = H / 2, one little-font line (about 20 pixels) apart, at x = W / 4.
shot 01-menu
expect bright "$shots/01-menu.png" 200 120 440 150 0.05
for row in 0 1 2 3; do
    y=$((243 + row * 20))
    expect bright "$shots/01-menu.png" 160 $y 300 $((y + 14)) 0.03
done

if [ "$mode" = one ]; then
    # The instructions: down twice, Enter; they replace the items. Enter
    # again goes back to the menu.
    menu_row 2
    press_until Return on_instructions 02-instructions
    expect differ "$shots/01-menu.png" "$shots/02-instructions.png" 0 230 640 330 8
    press_until Return on_menu 03-menu-again
    expect differ "$shots/02-instructions.png" "$shots/03-menu-again.png" 0 230 640 330 8

    # One player: up twice to the first item, Enter, then ship selection.
    menu_row 0
    press_until Return on_ship_choice 04-ship-select
    expect busy "$shots/04-ship-select.png" 200 150 440 330 10
    # The next ship: its name changes.
    before="$shots/04-ship-select.png"
    press_until Right other_ship 05-ship-select-next
    press_until Return off_ship_choice 06-countdown
    # The countdown runs for three ticks after the level has loaded: the
    # screen is taken until its digit shows in the middle (a busy machine
    # can be slow to load the level, or slow to take a screenshot), then
    # once more when the race is on.
    for wait in $(seq 20); do
        shot 06-countdown
        $check bright "$shots/06-countdown.png" 290 205 350 248 0.03 >/dev/null && break
        sleep 0.2
    done
    expect bright "$shots/06-countdown.png" 290 205 350 248 0.03
    # The race: taken once the middle holds no digit nor "GO!". A ship that
    # fell before the screenshot (a busy machine is slow to take one) brings
    # the countdown back after its lost life; the race is waited for again.
    sleep 4
    for wait in $(seq 60); do
        shot 07-race
        $check bright "$shots/07-race.png" 290 205 350 248 0.03 >/dev/null || break
        sleep 0.25
    done
    expect busy "$shots/07-race.png" 0 0 640 480 20
    expect differ "$shots/06-countdown.png" "$shots/07-race.png" 0 0 640 480 2
else
    # Two players: down once, Enter; player 1 and player 2 validate.
    menu_row 1
    press_until Return on_ship_choice 02-ship-select-player1
    before="$shots/02-ship-select-player1.png"
    press_until Return on_player2_choice 03-ship-select-player2
    # Player 2 takes the next ship (its name changes).
    before="$shots/03-ship-select-player2.png"
    press_until Right other_ship 03-ship-select-player2-next
    # The countdown, with both ships on the start line.
    press_until Return off_ship_choice 04-two-players-countdown
    sleep 1
    shot 04-two-players-countdown
    expect busy "$shots/04-two-players-countdown.png" 0 0 640 240 20
    expect busy "$shots/04-two-players-countdown.png" 0 240 640 480 20
    if [ "$mode" = fps ]; then
        # Lines of the program's output printed while the race runs.
        first=$(wc -l <"$shots/output.log")
        sleep 12
        echo "$((first + 1)) $(wc -l <"$shots/output.log")" >"$shots/race-lines.txt"
    fi
    sleep 4
    shot 05-two-players
    # Each half of the window holds its own view.
    expect busy "$shots/05-two-players.png" 0 0 640 240 20
    expect busy "$shots/05-two-players.png" 0 240 640 480 20
fi

# Escape is held for a few frames (nothing throttles it), and pressed again
# should a slow frame have missed it.
if [ "$mode" = two ]; then
    ending="the close box"
    xvfb_close "$wid" || fail "could not ask the window to close"
    xvfb_wait_exit "$pid" 60
    status=$?
else
    ending="Escape"
    for try in 1 2 3; do
        xvfb_key "$wid" Escape
        for wait in $(seq 100); do
            kill -0 "$pid" 2>/dev/null || break 2
            sleep 0.2
        done
    done
    xvfb_wait_exit "$pid" 30
    status=$?
fi
pid=""
[ -z "$wine_root" ] || status=$(wine_exit_status "$code" $status)
[ $status -eq 0 ] || fail "exit status $status after $ending"
if grep -q -E "Direct leak|ERROR: AddressSanitizer|runtime error" "$shots/output.log"; then
    fail "sanitizer report in the program's output"
fi
if [ $failures -ne 0 ]; then
    echo "--- program output ---" >&2
    tail -n 60 "$shots/output.log" >&2
    exit 1
fi
echo "play_game: $mode: every screen checked, ended by $ending; screenshots in $shots"
exit 0
