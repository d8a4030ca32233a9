#!/usr/bin/env bash
# racer_gl with bad content under Xvfb: no quorin.zip, and an archive whose
# content.xml lacks the ships. Each run must print a content error naming
# what is missing and exit with status 1, with no sanitizer report. A run
# whose window cannot be opened (SDL's dummy video driver has no OpenGL) must
# say so and exit with status 1 too:
#
#     tests/game/racer_gl_bad_content.sh PROGRAM WORK_DIR
#
# Exits 77 (skipped) when the program has not been built.
set -u
here="$(cd "$(dirname "$0")" && pwd)"
program="$1" work="$2"
[ -x "$program" ] || { echo "racer_gl_bad_content: $program not built; skipped"; exit 77; }
program="$(cd "$(dirname "$program")" && pwd)/$(basename "$program")"
export SDL_AUDIODRIVER=dummy
export LSAN_OPTIONS="suppressions=$here/../lsan.supp:print_suppressions=0:exitcode=0"
failures=0

run_case() {
    local name="$1" expected="$2" dir="$work/$1"
    (cd "$dir" && timeout 120 bash "$here/../xvfb/run.sh" "$program") >"$dir/output.log" 2>&1
    local status=$?
    if [ $status -ne 1 ]; then
        echo "racer_gl_bad_content: $name: exit status $status, expected 1" >&2
        failures=$((failures + 1))
    fi
    if ! grep -q "quorin: content error: .*$expected" "$dir/output.log"; then
        echo "racer_gl_bad_content: $name: no content error naming \"$expected\"" >&2
        failures=$((failures + 1))
    fi
    if grep -q -E "Direct leak|ERROR: AddressSanitizer|runtime error" "$dir/output.log"; then
        echo "racer_gl_bad_content: $name: sanitizer report" >&2
        failures=$((failures + 1))
    fi
    [ $failures -eq 0 ] || tail -n 40 "$dir/output.log" >&2
}

rm -rf "$work"
mkdir -p "$work/no-archive" "$work/no-ships"
python3 - "$work/no-ships/quorin.zip" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w") as z:
    z.writestr("content.xml", "<content><common><fonts/></common></content>")
PY

run_case no-archive "quorin.zip"
run_case no-ships '"ships"'
mkdir -p "$work/no-window"
(cd "$work/no-window" && SDL_VIDEODRIVER=dummy timeout 60 "$program") >"$work/no-window/output.log" 2>&1
status=$?
if [ $status -ne 1 ] || ! grep -q "cannot open" "$work/no-window/output.log"; then
    echo "racer_gl_bad_content: no-window: exit status $status, expected 1 with a message" >&2
    tail -n 20 "$work/no-window/output.log" >&2
    failures=$((failures + 1))
fi

[ $failures -eq 0 ] || exit 1
echo "racer_gl_bad_content: every run ended with its message and status 1"
