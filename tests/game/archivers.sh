#!/usr/bin/env bash
# The shipped archive repacked by everyday archivers, as a content maker
# would, and the game started on each under Xvfb:
#
#     tests/game/archivers.sh PROGRAM WORK_DIR
#
# PROGRAM is racer_gl, with quorin.zip beside it. Its members are packed
# again by Info-ZIP's zip (-0, -9, -fd for data descriptors, -fz for zip64
# records), python3's zipfile (stored, deflated, bzip2, LZMA) and 7-Zip
# (deflate, Deflate64). On an archive of stored or deflated members the game
# must reach its main menu (the title drawn) and end with status 0 when its
# window is closed; on the others it must stop with status 1 and a content
# error naming the first member it reads, content.xml, and its method. No run
# may print a sanitizer report.
#
# Exits 77 (skipped) when the program has not been built, or fails then
# when QUORIN_NO_SKIP is set (tools/test.sh).
set -u
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/../xvfb/xvfb.sh"

program="$1" work="$2"
source "$here/../skip.sh"
[ -x "$program" ] || skip_test archivers "$program not built"
program="$(cd "$(dirname "$program")" && pwd)/$(basename "$program")"
shipped="$(dirname "$program")/quorin.zip"
for tool in zip 7z python3; do
    command -v $tool >/dev/null || {
        echo "archivers: $tool not found (tools/install-deps.sh installs it)" >&2
        exit 1
    }
done
export SDL_AUDIODRIVER=dummy
export LSAN_OPTIONS="suppressions=$here/../lsan.supp:print_suppressions=0:exitcode=0"
check="python3 $here/screen_check.py"
failures=0

failed() {
    echo "archivers: $1: $2" >&2
    tail -n 30 "$work/$1/output.log" >&2
    failures=$((failures + 1))
}

rm -rf "$work"
mkdir -p "$work/members"
python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' \
    "$shipped" "$work/members" || exit 1

# Case name, then the command that packs members/ (the working directory)
# into the archive named by its last argument.
pack() {
    local name="$1"
    shift
    mkdir -p "$work/$name"
    (cd "$work/members" && "$@" "$work/$name/quorin.zip") >"$work/$name/pack.log" 2>&1 ||
        { echo "archivers: $name: packing failed" >&2; cat "$work/$name/pack.log" >&2; exit 1; }
}
infozip() { local archive="${*: -1}"; zip -q -r "${@:1:$#-1}" "$archive" .; }
python_zip() {
    python3 - "$1" "$2" <<'PY'
import os, sys, zipfile
method, target = getattr(zipfile, sys.argv[1]), sys.argv[2]
with zipfile.ZipFile(target, "w", method) as z:
    for folder, dirs, files in os.walk("."):
        dirs.sort()
        for name in sorted(files):
            path = os.path.join(folder, name)
            z.write(path, os.path.relpath(path, "."))
PY
}
sevenzip() { local archive="${*: -1}"; 7z a -tzip -bso0 -bsp0 "${@:1:$#-1}" "$archive" .; }

readable=(infozip-stored infozip-best infozip-descriptors infozip-zip64
          python-stored python-deflated 7zip-deflate)
pack infozip-stored infozip -0
pack infozip-best infozip -9
pack infozip-descriptors infozip -fd
pack infozip-zip64 infozip -fz
pack python-stored python_zip ZIP_STORED
pack python-deflated python_zip ZIP_DEFLATED
pack 7zip-deflate sevenzip -mm=Deflate
# Case name, then the method the content error must name.
refused=(python-bzip2 bzip2 python-lzma LZMA 7zip-deflate64 Deflate64)
pack python-bzip2 python_zip ZIP_BZIP2
pack python-lzma python_zip ZIP_LZMA
pack 7zip-deflate64 sevenzip -mm=Deflate64

xvfb_start || exit 1

# The menu's title is drawn in white from a quarter of the window's height.
reaches_menu() {
    local name="$1" dir="$work/$1" pid wid status
    (cd "$dir" && exec "$program") >"$dir/output.log" 2>&1 &
    pid=$!
    if ! wid=$(xvfb_wait_window "Quorin" 60); then
        kill -9 "$pid" 2>/dev/null
        failed "$name" "no window"
        return
    fi
    local shown=no
    for wait in $(seq 120); do
        kill -0 "$pid" 2>/dev/null || break
        if import -window "$wid" "$dir/menu.png" 2>/dev/null &&
            $check bright "$dir/menu.png" 200 120 440 150 0.05 >/dev/null; then
            shown=yes
            break
        fi
        sleep 0.5
    done
    [ $shown = yes ] || failed "$name" "no main menu"
    xvfb_close "$wid" 2>/dev/null
    xvfb_wait_exit "$pid" 60
    status=$?
    [ $status -eq 0 ] || failed "$name" "exit status $status after closing the window"
    if grep -q "content error" "$dir/output.log"; then
        failed "$name" "content error on a readable archive"
    fi
}

stops_with() {
    local name="$1" method="$2" dir="$work/$1" status
    (cd "$dir" && exec timeout 120 "$program") >"$dir/output.log" 2>&1
    status=$?
    [ $status -eq 1 ] || failed "$name" "exit status $status, expected 1"
    grep -q "quorin: content error: quorin.zip: member \"content.xml\" is compressed with $method" \
        "$dir/output.log" || failed "$name" "no content error naming content.xml and $method"
}

for name in "${readable[@]}"; do
    reaches_menu "$name"
done
for ((i = 0; i < ${#refused[@]}; i += 2)); do
    stops_with "${refused[i]}" "${refused[i + 1]}"
done
for name in "${readable[@]}" "${refused[@]}"; do
    if [ -f "$work/$name/output.log" ] &&
        grep -q -E "Direct leak|ERROR: AddressSanitizer|runtime error" "$work/$name/output.log"; then
        failed "$name" "sanitizer report"
    fi
done

[ $failures -eq 0 ] || exit 1
echo "archivers: the menu on ${#readable[@]} repacked archives, a content error on $((${#refused[@]} / 2))"
