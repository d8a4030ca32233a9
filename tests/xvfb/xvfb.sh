# Helpers to run programs in a real X server without a screen (Xvfb), with
# Mesa's software OpenGL, and to drive them the way a player would.
#
# Use from a bash script:
#
#     source tests/xvfb/xvfb.sh
#     xvfb_start                      # own Xvfb on a free display, exports DISPLAY
#     ./bin/racer_gl & pid=$!
#     wid=$(xvfb_wait_window "Quorin" 30) || exit 1
#     xvfb_window_size "$wid"         # prints "640 480"
#     xvfb_screenshot shots/menu.png  # the whole screen, ImageMagick import
#     xvfb_key "$wid" Escape          # xdotool key names: Return, Up, x, ...
#     xvfb_close "$wid"               # WM_DELETE_WINDOW, as a window manager's close button
#     xvfb_wait_exit "$pid" 30; echo "exit status $?"   # 124 when it had to be killed
#     xvfb_stop                       # also done by an EXIT trap
#
# xvfb_start sets LIBGL_ALWAYS_SOFTWARE=1 so OpenGL runs on llvmpipe, the
# same on every machine. XVFB_SCREEN (default 1024x768x24) sets the screen.
# For one Google Test program under Xvfb and its judged status,
# tests/xvfb/run.sh does it all; tests/xvfb/window-test.sh checks a
# windowed program from start to exit.

XVFB_DIR="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
XVFB_PID=""

# Starts Xvfb on a display it picks itself (-displayfd: no race with other
# tests starting servers at the same time) and waits until it answers.
xvfb_start() {
    local screen="${XVFB_SCREEN:-1024x768x24}" numberfile n="" tries=0
    command -v Xvfb >/dev/null || { echo "xvfb: Xvfb is not installed" >&2; return 1; }
    numberfile=$(mktemp)
    Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp -noreset 3>"$numberfile" >/dev/null 2>&1 &
    XVFB_PID=$!
    trap xvfb_stop EXIT
    while [ $tries -lt 200 ]; do
        kill -0 "$XVFB_PID" 2>/dev/null || break
        n=$(tr -dc '0-9' <"$numberfile")
        if [ -n "$n" ] && DISPLAY=":${n}" xdpyinfo >/dev/null 2>&1; then
            rm -f "$numberfile"
            export DISPLAY=":${n}"
            export LIBGL_ALWAYS_SOFTWARE=1
            return 0
        fi
        sleep 0.05
        tries=$((tries + 1))
    done
    rm -f "$numberfile"
    xvfb_stop
    echo "xvfb: could not start an X server" >&2
    return 1
}

xvfb_stop() {
    if [ -n "$XVFB_PID" ]; then
        kill "$XVFB_PID" 2>/dev/null
        wait "$XVFB_PID" 2>/dev/null
        XVFB_PID=""
    fi
}

# Prints the id of the first visible window whose name is exactly NAME,
# waiting up to TIMEOUT seconds (default 30).
xvfb_wait_window() {
    local name="$1" timeout="${2:-30}" start=$SECONDS wid
    while [ $((SECONDS - start)) -lt "$timeout" ]; do
        wid=$(xdotool search --onlyvisible --name "^${name}\$" 2>/dev/null | head -n 1)
        if [ -n "$wid" ]; then
            echo "$wid"
            return 0
        fi
        sleep 0.2
    done
    echo "xvfb: no window named \"$name\" within ${timeout}s" >&2
    return 1
}

# Prints "WIDTH HEIGHT" of the window.
xvfb_window_size() {
    xdotool getwindowgeometry --shell "$1" | awk -F= '/^WIDTH/{w=$2} /^HEIGHT/{h=$2} END{print w, h}'
}

# Prints the window's name (its title).
xvfb_window_name() {
    xdotool getwindowname "$1"
}

# Saves the whole screen to FILE (PNG by its extension).
xvfb_screenshot() {
    mkdir -p "$(dirname "$1")"
    import -window root "$1"
}

# Presses and releases KEY (an xdotool key name) with the window focused.
xvfb_key() {
    local wid="$1" key="$2"
    xdotool windowfocus --sync "$wid" 2>/dev/null || xdotool windowfocus "$wid"
    xdotool keydown "$key"
    sleep 0.3   # held across a few frames: programs that poll key state see it
    xdotool keyup "$key"
}

# Asks the window to close, as a window manager does (WM_DELETE_WINDOW).
xvfb_close() {
    python3 "$XVFB_DIR/wm_close.py" "$1"
}

# Waits up to TIMEOUT seconds (default 30) for PID to end and returns its
# exit status; kills it and returns 124 when it does not end in time.
xvfb_wait_exit() {
    local pid="$1" timeout="${2:-30}" start=$SECONDS
    while kill -0 "$pid" 2>/dev/null; do
        if [ $((SECONDS - start)) -ge "$timeout" ]; then
            echo "xvfb: process $pid still running after ${timeout}s, killing it" >&2
            kill -9 "$pid" 2>/dev/null
            wait "$pid" 2>/dev/null
            return 124
        fi
        sleep 0.1
    done
    wait "$pid"
}
