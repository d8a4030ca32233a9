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
# race, ended with Escape. "two": a two-player game, its race in both
# halves of the window, ended with the window's close box (as a window
# manager sends it). Both need exit status 0 with no sanitizer report (so
# nothing leaked). "fps": the two-player race left running for 12 seconds
# more, for the frame-rate benchmark (bench_fps.sh), ended with Escape.
# The program runs in its own folder, where quorin.zip lies. Screenshots of
# every screen stay in SHOTS_DIR.
# Exits 77 (skipped) when the program or the archive has not been built,
# or fails then when QUORIN_NO_SKIP is set (tools/test.sh).
#
# A game is played once: whatever goes wrong once the program has started
# fails the test. Only the X server or Wine failing to start, before the
# program, is tried again, once, with a banner on the standard error.
# Nothing waits a fixed time for the game: keys are pressed and screens
# taken in step with the frames it presents (tests/xvfb/presented_frames.py),
# and each screen is recognised by what is on it before the next key: the
# menus by their white text, which does not move (the backdrop does), the
# race by its running time with no text in the middle. The race is judged
# as the player sees it: the track's floor in its tiles' colours under and
# ahead of the ship, the ship, the head-up display, the track moving on.
# A failure names the frame rate seen, so that a machine too busy to play
# is told apart from a game that ignores its keys.
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

frames() { python3 "$here/../xvfb/presented_frames.py" "$wid" "$@"; }
# The frame rate the last key press saw (over a second or more), for the
# failures; rate_now measures it afresh.
pace=" (no key pressed yet)"
rate_now() { local out; out=$(frames rate 2); echo " ${out#*:}"; }

# Holds KEY across one poll of the keys, in step with the frames the game
# presents (presented_frames.py): a key held for a fixed time is missed by
# a slow frame, and taken twice by a fast one on a screen that counts held
# keys by the game's clock. With no window manager, a Wine window sees keys
# only once it has the focus. Sets HELD_FRAMES, the frames presented while
# the key was down (the poll after each saw it).
press() {
    local out
    kill -0 "$pid" 2>/dev/null || abort "the program ended before $1 was pressed"
    xdotool windowfocus --sync "$wid" 2>/dev/null || xdotool windowfocus "$wid"
    out=$(frames press "$1") || abort "could not press $1: $out"
    echo "play_game: $out"
    pace="${out##*,}"
    HELD_FRAMES=$(echo "$out" | sed -E 's/.*, ([0-9]+) frames presented meanwhile.*/\1/')
}

# A presented frame of the window as NAME.png.
shot() {
    local out
    kill -0 "$pid" 2>/dev/null || abort "the program ended before the screen $1"
    out=$(frames shot "$shots/$1.png") || abort "no screenshot $1: $out"
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
# The main menu with its highlight bar on row ROW.
on_row() { on_menu "$1" && [ "$($check darkest "$1" 330 640 240 20 4)" = "$ROW" ]; }
on_row_before() { on_menu "$1" && [ "$($check darkest "$1" 330 640 240 20 4)" = "$ROW_BEFORE" ]; }
# Against the ship choice BEFORE: the title (player 1 or 2, one digit
# apart), the bottom line and the ship's name (under "Nom").
title_changed() {
    $check text-differ "$before" "$1" 150 75 300 115 0.02 >/dev/null &&
        $check text-differ "$before" "$1" 100 415 540 442 0.03 >/dev/null
}
name_changed() { $check text-differ "$before" "$1" 106 138 240 160 0.03 >/dev/null; }
on_player2_choice() { on_ship_choice "$1" && title_changed "$1"; }
other_ship() { on_ship_choice "$1" && name_changed "$1"; }
same_choice() { on_ship_choice "$1" && ! title_changed "$1" && ! name_changed "$1"; }

# Presses KEY on the screen FROM (a test of the above, given a screenshot)
# and waits for the screen TO, kept as NAME.png: it shows on the frame drawn
# after the poll that saw the key, so a few presented frames are looked at.
# A key that changed nothing is pressed again only when the game presented
# fewer than two frames while it was down: then no poll may have come
# between its going down and up (a frame longer than the frame time
# measured). Held across two frames, the poll between them saw it: a
# screen that stays is a game that ignores the key, and fails. A screen
# that is neither fails too (a key taken twice, a program going its own
# way). Each failure gives the frame rate seen.
press_to() {
    local key="$1" from="$2" to="$3" name="$4" tries=0 look
    while [ $tries -lt 10 ]; do
        press "$key"
        for look in 1 2 3 4 5 6; do
            shot "$name"
            $to "$shots/$name.png" && return 0
        done
        $from "$shots/$name.png" ||
            abort "$key led neither to the screen $name ($to) nor left the one before ($from),$pace"
        [ "$HELD_FRAMES" -lt 2 ] ||
            abort "$key does not lead to the screen $name ($to): $HELD_FRAMES frames were presented while it was held,$pace"
        echo "play_game: $key was held across fewer than two presented frames and changed nothing: pressed again" >&2
        tries=$((tries + 1))
    done
    abort "$key, pressed ten times, was never held across two presented frames and changed nothing: the machine is too busy to play,$pace"
}

# Moves the main menu's highlight to row WANT, one row a key.
menu_row() {
    local want="$1" row
    shot menu-probe
    row=$($check darkest "$shots/menu-probe.png" 330 640 240 20 4)
    while [ "$row" != "$want" ]; do
        ROW_BEFORE=$row
        if [ "$row" -lt "$want" ]; then ROW=$((row + 1)); key=Down; else ROW=$((row - 1)); key=Up; fi
        press_to $key on_row_before on_row menu-probe
        row=$ROW
    done
    rm -f "$shots/menu-probe.png"
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
# Under Wine, Direct3D's calls are made on a thread of their own (Wine's
# command stream) unless turned off: a frame then reaches the X server a
# frame or more after the game polled the keys for it, and the frames seen
# presented no longer tell when the game polls. Off in this run's prefix,
# each frame is presented by the game's own thread, as on Windows.
start_environment() {
    xvfb_start || return 1
    [ -z "$wine_root" ] || {
        wine_start "$wine_root" &&
            wine reg add 'HKCU\Software\Wine\Direct3D' /v csmt /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1
    }
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
# busy machine can take many seconds): its frames are looked at until the
# main menu is on them.
started=$SECONDS
until shot 01-menu && on_menu "$shots/01-menu.png"; do
    [ $((SECONDS - started)) -lt 300 ] || abort "no main menu in 300 seconds,$(rate_now)"
done

# The main menu: the title (big font, top at H / 4) and four items from
# y = H / 2, one little-font line (about 20 pixels) apart, at x = W / 4.
expect bright "$shots/01-menu.png" 200 120 440 150 0.05
for row in 0 1 2 3; do
    y=$((243 + row * 20))
    expect bright "$shots/01-menu.png" 160 $y 300 $((y + 14)) 0.03
done

# The race, in a view of the window: one player's fills it; two players'
# are its halves, each drawn as the whole window squeezed to half its
# height. Rectangles are given for the whole window (x0 y0 x1 y1) and
# placed in view TOP (0 or 240) at SCALE (1 or 2: the height divided by).
view_box() {
    local top="$1" scale="$2" x0="$3" y0="$4" x1="$5" y1="$6"
    echo "$x0 $((top + y0 / scale)) $x1 $((top + y1 / scale))"
}
# The text in the middle (countdown, "GO!", a crash) and the race time's
# figure ("TEMPS : 2"), at the bottom right.
middle_box() { view_box "$1" "$2" 290 205 350 248; }
time_box() { view_box "$1" "$2" 395 458 440 476; }

# The score's label at the bottom left, on every frame of the race scene.
hud_box() { view_box "$1" "$2" 0 440 60 456; }

# Return on the last ship choice, and the race it leads to: a burst of
# presented frames (one each 0.2 s for fifteen seconds) taken at once, as
# the game goes on at its own pace whatever this script does: the level
# loading, the countdown, "GO!", a few seconds of race and, should the
# ship have fallen meanwhile, the next start. The last of them must be off
# the ship choice (else the key was missed, and is pressed again as in
# press_to, or ignored). Of them, two race frames a second apart, with
# another race time and no countdown, "GO!" or crash between them
# (screen_check.py race), are kept as NAME-1.png and NAME-2.png: the race
# is recognised on the frames, and one that stands still or never comes
# fails here.
into_race() {
    local name="$1" top="$2" scale="$3" out picked last tries=0
    while :; do
        press Return
        out=$(frames burst "$shots/burst" 15 0.2) || abort "no burst of race frames: $out"
        echo "play_game: race frames: $out"
        last=$(tail -n 1 "$shots/burst.txt" | cut -d' ' -f1)
        on_ship_choice "$last" || break
        [ "$HELD_FRAMES" -lt 2 ] ||
            abort "Return does not leave the ship choice: $HELD_FRAMES frames were presented while it was held,$pace"
        tries=$((tries + 1))
        [ $tries -lt 10 ] ||
            abort "Return, pressed ten times, was never held across two presented frames and changed nothing: the machine is too busy to play,$pace"
        echo "play_game: Return was held across fewer than two presented frames and changed nothing: pressed again" >&2
    done
    picked=$($check race "$shots/burst.txt" $(middle_box "$top" "$scale") $(time_box "$top" "$scale") \
        $(hud_box "$top" "$scale")) || abort "no race on the frames after the ship choice: $picked,${out##*:}"
    set -- $picked
    cp "$1" "$shots/$name-1.png"
    cp "$2" "$shots/$name-2.png"
    rm -f "$shots"/burst-*.png
}

# What the player sees of the race in view TOP/SCALE of NAME-1.png, and
# how it moved by NAME-2.png, a second later: the track's floor in the
# first level's tile colours under the ship and ahead of it; the ship,
# bluer than the floor under it; the four figures of the head-up display
# (score and lives on the left, jumps and time on the right); the floor
# changed as the ship went on; the race time another.
check_race_view() {
    local name="$1" top="$2" scale="$3" first="$shots/$1-1.png" second="$shots/$1-2.png" ship
    local -a under ahead further
    read -r -a under <<<"$(view_box "$top" "$scale" 140 418 500 436)"
    read -r -a ahead <<<"$(view_box "$top" "$scale" 140 345 500 360)"
    read -r -a further <<<"$(view_box "$top" "$scale" 140 290 500 305)"
    expect floor "$first" "$bindir/quorin.zip" 140 500 "${under[1]}" "${under[3]}" \
        "${ahead[1]}" "${ahead[3]}" "${further[1]}" "${further[3]}"
    ship=$(view_box "$top" "$scale" 260 340 400 414)
    expect bluer "$first" $ship "${under[@]}" 0.04
    expect bright "$first" $(view_box "$top" "$scale" 0 440 120 456) 0.05
    expect bright "$first" $(view_box "$top" "$scale" 0 458 90 476) 0.05
    expect bright "$first" $(view_box "$top" "$scale" 320 440 420 456) 0.05
    expect bright "$first" $(view_box "$top" "$scale" 320 458 420 476) 0.05
    expect differ "$first" "$second" $(view_box "$top" "$scale" 0 260 640 438) 6
    expect text-differ "$first" "$second" $(time_box "$top" "$scale") 0.01
}

if [ "$mode" = one ]; then
    # The instructions: down twice, Enter; they replace the items. Enter
    # again goes back to the menu.
    menu_row 2
    press_to Return on_menu on_instructions 02-instructions
    expect differ "$shots/01-menu.png" "$shots/02-instructions.png" 0 230 640 330 8
    press_to Return on_instructions on_menu 03-menu-again
    expect differ "$shots/02-instructions.png" "$shots/03-menu-again.png" 0 230 640 330 8

    # One player: up twice to the first item, Enter, then ship selection.
    menu_row 0
    press_to Return on_menu on_ship_choice 04-ship-select
    expect busy "$shots/04-ship-select.png" 200 150 440 330 10
    # The next ship: its name changes.
    before="$shots/04-ship-select.png"
    press_to Right same_choice other_ship 05-ship-select-next
    into_race 07-race 0 1
    check_race_view 07-race 0 1
else
    # Two players: down once, Enter; player 1 and player 2 validate.
    menu_row 1
    press_to Return on_menu on_ship_choice 02-ship-select-player1
    before="$shots/02-ship-select-player1.png"
    press_to Return same_choice on_player2_choice 03-ship-select-player2
    # Player 2 takes the next ship (its name changes).
    before="$shots/03-ship-select-player2.png"
    press_to Right same_choice other_ship 03-ship-select-player2-next
    # The race in both halves: the views start together.
    into_race 05-two-players 0 2
    check_race_view 05-two-players 0 2
    check_race_view 05-two-players 240 2
    if [ "$mode" = fps ]; then
        # Lines of the program's output printed while the race runs.
        first=$(wc -l <"$shots/output.log")
        sleep 12
        echo "$((first + 1)) $(wc -l <"$shots/output.log")" >"$shots/race-lines.txt"
    fi
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
