# Helpers to run Windows programs under Wine in the X server of xvfb.sh.
#
# Use from a bash script, after xvfb_start:
#
#     source tests/xvfb/xvfb.sh
#     source tests/xvfb/wine.sh
#     xvfb_start
#     wine_start build/windows/wine   # own Wine prefix and server on this display
#     wine bin/racer_d3d.exe & pid=$!
#     wid=$(xvfb_wait_window "Quorin" 60)
#     ...                             # wine_stop, then xvfb_stop, by an EXIT trap
#
# Making a Wine prefix takes about 15 s and 700 MB, so it is made once, the
# first time, as WINE_ROOT/template (under a lock, for tests starting side by
# side). Each run then gets a copy of its own made of hard links: Wine never
# writes its DLLs, and the registry files, which it rewrites, are copied. An
# own prefix means an own wineserver and desktop, on this run's X server
# only, so runs go in parallel without meeting. wine_stop ends every Wine
# process of the run and removes the copy.
#
# WINEDEBUG stays as the caller set it, else -all (Wine's own messages
# would bury the program's). Mono and Gecko are not offered: nothing here
# needs .NET or HTML. Wine's crash debugger is off in the template: a crash
# ends its program at once with a status other than 0.

WINE_RUN_PREFIX=""

wine_start() {
    local root="$1" template
    command -v wine >/dev/null && command -v wineserver >/dev/null ||
        { echo "wine: Wine is not installed" >&2; return 1; }
    mkdir -p "$root" || return 1
    root="$(cd "$root" && pwd)"
    template="$root/template"
    export WINEDEBUG="${WINEDEBUG:--all}"
    export WINEDLLOVERRIDES="mscoree,mshtml="
    (
        flock 9
        if [ ! -f "$template/.made" ]; then
            rm -rf "$template"
            # Made without a display: nothing of it belongs to one X server.
            env -u DISPLAY WINEPREFIX="$template" wineboot --init >/dev/null 2>&1 &&
                WINEPREFIX="$template" wineserver --wait &&
                touch "$template/.made"
        fi
        # No crash debugger (also in a template made before it was turned
        # off): winedbg would write its report on the program's output and
        # can hold a crashed program until the test's timeout; without it a
        # crash ends the program at once with the exception's status.
        if [ -f "$template/.made" ] && ! grep -qx '"Debugger"=""' "$template/system.reg"; then
            env -u DISPLAY WINEPREFIX="$template" wine reg add \
                'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /d '' /f \
                </dev/null >/dev/null 2>&1 &&
                WINEPREFIX="$template" wineserver --wait ||
                rm -f "$template/.made"
            grep -qx '"Debugger"=""' "$template/system.reg" || rm -f "$template/.made"
        fi
    ) 9>"$root/lock"
    [ -f "$template/.made" ] || { echo "wine: could not make the prefix $template (crash debugger off)" >&2; return 1; }

    WINE_RUN_PREFIX="$(mktemp -d "$root/run.XXXXXX")" || return 1
    cp -al "$template/." "$WINE_RUN_PREFIX/" || return 1
    local file
    for file in "$template"/*.reg; do
        rm -f "$WINE_RUN_PREFIX/${file##*/}"
        cp "$file" "$WINE_RUN_PREFIX/" || return 1
    done
    rm -f "$WINE_RUN_PREFIX/wineserver" "$WINE_RUN_PREFIX/.made"
    export WINEPREFIX="$WINE_RUN_PREFIX"
    # A server that stays for the whole run: the program's start is then
    # the program's, not the server's.
    wineserver --persistent || return 1
    trap 'wine_stop; xvfb_stop' EXIT
}

# Under Wine the status a Unix parent sees is not always the program's:
# once a process has ended for Windows, wineserver kills (SIGKILL) what is
# left of it when it does not leave within a second, which a busy machine
# can do to a program that ended with 0. Programs are therefore started
# through exit_code.exe (tools/windows/exit-code, built beside them), which
# writes the exit code Windows got to a file:
#
#     wine "$bindir/exit_code.exe" "$(wine_path "$code")" program.exe ... & pid=$!
#     xvfb_wait_exit "$pid" 60; status=$(wine_exit_status "$code" $?)
#
# wine_path prints a file's name on Wine's drive Z: (the root).
wine_path() {
    local path="$1"
    echo "Z:${path//\//\\}"
}

# Prints the exit code in FILE as a status (0, else its low byte, else 1),
# or STATUS when the file holds none (exit_code.exe did not get that far).
wine_exit_status() {
    local file="$1" status="$2" code
    code=$(tr -dc '0-9' <"$file" 2>/dev/null)
    if [ -z "$code" ]; then
        echo "$status"
    elif [ "$code" -eq 0 ]; then
        echo 0
    elif [ $((code & 255)) -ne 0 ]; then
        echo $((code & 255))
    else
        echo 1
    fi
}

wine_stop() {
    if [ -n "$WINE_RUN_PREFIX" ]; then
        WINEPREFIX="$WINE_RUN_PREFIX" wineserver --kill 2>/dev/null
        WINEPREFIX="$WINE_RUN_PREFIX" wineserver --wait 2>/dev/null
        rm -rf "$WINE_RUN_PREFIX"
        WINE_RUN_PREFIX=""
    fi
}
