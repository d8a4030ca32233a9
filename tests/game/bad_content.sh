#!/usr/bin/env bash
# The game with bad content under Xvfb: no quorin.zip (the message names the
# folder), a quorin.zip that is no zip archive and one whose end record
# places the directory past itself (each said to be damaged or not a zip
# archive, and why), an archive whose content.xml lacks the ships, and the
# shipped archive (beside PROGRAM) with a hostile picture in place of a
# shipped one: a grey map on which the image library frees twice, a GIF
# that asks it for 4 GiB; and the shipped archive with one picture
# compressed with bzip2, which the game does not read. Each run must print
# a content error naming what is missing or refused (for the bzip2 member,
# also its method) and exit with status 1, with no sanitizer report:
#
#     tests/game/bad_content.sh [--wine WINE_ROOT] PROGRAM WORK_DIR
#
# PROGRAM is racer_gl, or with --wine racer_d3d.exe under Wine (prefix made
# from WINE_ROOT/template, tests/xvfb/wine.sh). racer_d3d also shows the
# message in a message box, as a player starting it from Explorer has no
# console: the box must appear (a window titled "Quorin: content error",
# kept as box.png) and the program must end only once Enter dismisses it.
# racer_gl alone has one more case: a window that cannot be opened (SDL's
# dummy video driver has no OpenGL) must be reported with status 1 too.
#
# Exits 77 (skipped) when the program has not been built, or fails then
# when QUORIN_NO_SKIP is set (tools/test.sh).
set -u
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/../xvfb/xvfb.sh"

wine_root=""
if [ "${1:-}" = --wine ]; then
    wine_root="$2"
    shift 2
fi
program="$1" work="$2"
source "$here/../skip.sh"
[ -x "$program" ] || skip_test bad_content "$program not built"
program="$(cd "$(dirname "$program")" && pwd)/$(basename "$program")"
export SDL_AUDIODRIVER=dummy
export LSAN_OPTIONS="suppressions=$here/../lsan.supp:print_suppressions=0:exitcode=0"
failures=0

failed() {
    echo "bad_content: $1: $2" >&2
    failures=$((failures + 1))
}

# Without Wine, stderr is all there is: the program must end by itself.
# Under Wine the box must come up and hold the program until dismissed.
run_case() {
    local name="$1" expected="$2" dir="$work/$1" status pid box
    if [ -z "$wine_root" ]; then
        (cd "$dir" && exec timeout 120 "$program") >"$dir/output.log" 2>&1
        status=$?
    else
        # Through exit_code.exe, for the exit code Windows gave it.
        rm -f "$dir/exit-code.txt"
        (cd "$dir" && exec wine "$(dirname "$program")/exit_code.exe" "$(wine_path "$dir/exit-code.txt")" \
            "$(wine_path "$program")") >"$dir/output.log" 2>&1 &
        pid=$!
        if box=$(xvfb_wait_window "Quorin: content error" 60); then
            sleep 0.5
            kill -0 "$pid" 2>/dev/null || failed "$name" "the program ended while its message box was up"
            import -window root "$dir/box.png"
            # Enter until the box takes it: with no window manager the box
            # sees a key only once focused, which a busy machine delays.
            local presses=0 wait
            while kill -0 "$pid" 2>/dev/null && [ $presses -lt 10 ]; do
                xdotool windowfocus --sync "$box" 2>/dev/null
                xdotool key Return
                presses=$((presses + 1))
                for wait in 1 2 3 4 5 6 7 8 9 10; do
                    kill -0 "$pid" 2>/dev/null || break
                    sleep 0.3
                done
            done
        else
            failed "$name" "no message box"
        fi
        xvfb_wait_exit "$pid" 60
        status=$(wine_exit_status "$dir/exit-code.txt" $?)
    fi
    [ $status -eq 1 ] || failed "$name" "exit status $status, expected 1"
    grep -q "quorin: content error: .*$expected" "$dir/output.log" ||
        failed "$name" "no content error naming \"$expected\""
    if grep -q -E "Direct leak|ERROR: AddressSanitizer|runtime error" "$dir/output.log"; then
        failed "$name" "sanitizer report"
    fi
    [ $failures -eq 0 ] || tail -n 40 "$dir/output.log" >&2
}

rm -rf "$work"
mkdir -p "$work/no-archive" "$work/no-ships" "$work/not-an-archive" "$work/directory-astray"
echo "Quorin's content, as a player might have saved a web page" >"$work/not-an-archive/quorin.zip"
python3 - "$(dirname "$program")/quorin.zip" "$work/directory-astray/quorin.zip" <<'PY'
import struct, sys
data = bytearray(open(sys.argv[1], "rb").read())
end = data.rfind(b"PK\x05\x06")
struct.pack_into("<I", data, end + 16, len(data))   # the directory's offset: past the end record
open(sys.argv[2], "wb").write(data)
PY
python3 - "$work/no-ships/quorin.zip" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w") as z:
    z.writestr("content.xml", "<content><common><fonts/></common></content>")
PY
# The shipped archive with one picture replaced: case name, member, bytes.
hostile_pictures=(double-free-picture pictures/hud.png 'P5\n1\n4 2\n'
                  huge-picture menu/background.png 'GIF87A\xff\xff')
for ((i = 0; i < ${#hostile_pictures[@]}; i += 3)); do
    mkdir -p "$work/${hostile_pictures[i]}"
    python3 - "$(dirname "$program")/quorin.zip" "$work/${hostile_pictures[i]}/quorin.zip" \
        "${hostile_pictures[i + 1]}" "${hostile_pictures[i + 2]}" <<'PY'
import codecs, sys, zipfile
source, target, member, replacement = sys.argv[1:]
with zipfile.ZipFile(source) as z, zipfile.ZipFile(target, "w", zipfile.ZIP_DEFLATED) as out:
    for name in z.namelist():
        data = z.read(name)
        if name == member:
            data = codecs.escape_decode(replacement.encode())[0]
        out.writestr(name, data)
PY
done

mkdir -p "$work/bzip2-member"
python3 - "$(dirname "$program")/quorin.zip" "$work/bzip2-member/quorin.zip" pictures/hud.png <<'PY'
import sys, zipfile
source, target, member = sys.argv[1:]
with zipfile.ZipFile(source) as z, zipfile.ZipFile(target, "w", zipfile.ZIP_DEFLATED) as out:
    for name in z.namelist():
        out.writestr(name, z.read(name), zipfile.ZIP_BZIP2 if name == member else zipfile.ZIP_DEFLATED)
PY

xvfb_start || exit 1
if [ -n "$wine_root" ]; then
    source "$here/../xvfb/wine.sh"
    wine_start "$wine_root" || exit 1
fi
run_case no-archive 'there is no data archive "quorin.zip" in the folder the game was started in (.*no-archive)'
run_case not-an-archive '"quorin.zip" is damaged or not a zip archive: it has no zip end record'
run_case directory-astray '"quorin.zip" is damaged or not a zip archive: its end record places the directory'
run_case no-ships '"ships"'
for ((i = 0; i < ${#hostile_pictures[@]}; i += 3)); do
    run_case "${hostile_pictures[i]}" "\"${hostile_pictures[i + 1]}\""
done
run_case bzip2-member '"pictures/hud.png" is compressed with bzip2'
if [ -z "$wine_root" ]; then
    mkdir -p "$work/no-window"
    (cd "$work/no-window" && SDL_VIDEODRIVER=dummy timeout 60 "$program") >"$work/no-window/output.log" 2>&1
    status=$?
    if [ $status -ne 1 ] || ! grep -q "cannot open" "$work/no-window/output.log"; then
        failed no-window "exit status $status, expected 1 with a message"
        tail -n 20 "$work/no-window/output.log" >&2
    fi
fi

[ $failures -eq 0 ] || exit 1
echo "bad_content: every run ended with its message and status 1"
