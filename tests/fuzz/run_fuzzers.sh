#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for a fixed time on seeds
# from the shipped archive, a few at a time, then prints per target the
# executions, their speed, the corpus and what was found. Exits 1 when any
# target found an input that crashes, hangs, leaks or takes too much memory
# (kept as WORK_DIR/findings/<target>-<kind>-<hash>). Exits 77 (skipped)
# without clang, or fails then when QUORIN_NO_SKIP is set (tools/test.sh).
#
#   run_fuzzers.sh [options] WORK_DIR
#     --seconds N        time per target (default 10)
#     --jobs N           targets run at once (default 4)
#     --archive PATH     the shipped quorin.zip (default build/test/bin/quorin.zip)
#     --targets "A B"    only these targets
#     --devil PATH       also fuzz pictures against the DevIL source tarball
#                        at PATH (built with the fuzzer's instrumentation; the
#                        target is then listed as picture_fuzzer@devil-1.8)
#
# The corpus of each target stays in WORK_DIR/corpus/<target>, so a later
# run goes on from where an earlier one stopped.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
seconds=10 jobs=4 archive="$root/build/test/bin/quorin.zip" targets="" devil=""
while [ $# -gt 1 ]; do
    case "$1" in
        --seconds) seconds=$2; shift 2 ;;
        --jobs) jobs=$2; shift 2 ;;
        --archive) archive=$2; shift 2 ;;
        --targets) targets=$2; shift 2 ;;
        --devil) devil=$2; shift 2 ;;
        *) echo "run_fuzzers: unknown option $1" >&2; exit 2 ;;
    esac
done
[ $# -eq 1 ] || { echo "usage: run_fuzzers.sh [options] WORK_DIR" >&2; exit 2; }
source "$here/../skip.sh"
for tool in clang clang++; do
    command -v $tool >/dev/null || skip_test run_fuzzers "$tool not found (tools/install-deps.sh installs it)"
done
work="$(mkdir -p "$1" && cd "$1" && pwd)"
[ -f "$archive" ] || { echo "run_fuzzers: no archive at $archive" >&2; exit 2; }
archive="$(cd "$(dirname "$archive")" && pwd)/$(basename "$archive")"

all_targets="picture_fuzzer bitmap_font_fuzzer truetype_font_fuzzer zip_fuzzer xml_fuzzer
    content_fuzzer track_fuzzer binary_mesh_fuzzer xml_mesh_fuzzer module_fuzzer stream_fuzzer"
targets=${targets:-$all_targets}

build() {  # build DIR TARGET|all [cmake options]
    local dir=$1 target=$2; shift 2
    cmake -S "$here" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_COMPILER=clang \
        -DCMAKE_CXX_COMPILER=clang++ "$@" >"$dir.configure.log" 2>&1 ||
        { cat "$dir.configure.log"; exit 1; }
    cmake --build "$dir" -j4 --target "$target" >"$dir.build.log" 2>&1 ||
        { tail -50 "$dir.build.log"; exit 1; }
}
rm -rf "$work/findings" "$work/logs"
mkdir -p "$work/findings" "$work/logs"
build "$work/build" all

# DevIL from source: only the readers the engine uses (PNG, JPEG, BMP, TGA),
# instrumented like the targets.
if [ -n "$devil" ]; then
    src="$work/devil-src"
    if [ ! -f "$work/devil/lib/x64/libIL.a" ]; then
        rm -rf "$src" && mkdir -p "$src"
        tar -xJf "$devil" -C "$src" --strip-components=1
        config="$src/DevIL/src-IL/include/config.h.cmake.in"
        for format in BLP DCX DICOM FITS GAMES GIF HDR ICNS ICON IFF ILBM IWI LIF MDL MP3 \
                      PCD PCX PIC PIX PNM PSD PSP PXR RAW ROT SGI SUN TEXTURE TPL UTX VTF WAD \
                      WAL WBMP XPM; do
            sed -i "s/^#undef IL_NO_$format\$/#define IL_NO_$format 1/" "$config"
        done
        flags="-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer -g -O1 -w"
        cmake -S "$src/DevIL/src-IL" -B "$work/devil-build" -G Ninja -DBUILD_SHARED_LIBS=OFF \
            -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
            "-DCMAKE_C_FLAGS=$flags" "-DCMAKE_CXX_FLAGS=$flags" \
            -DIL_NO_TIF=ON -DIL_NO_JP2=ON -DIL_NO_MNG=ON -DIL_NO_LCMS=ON -DIL_NO_EXR=ON \
            >"$work/devil.configure.log" 2>&1 || { cat "$work/devil.configure.log"; exit 1; }
        cmake --build "$work/devil-build" -j4 >"$work/devil.build.log" 2>&1 ||
            { tail -50 "$work/devil.build.log"; exit 1; }
        mkdir -p "$work/devil/lib/x64"
        cp -r "$src/DevIL/include" "$work/devil/include"
        # (the library lands in ../lib/x64 beside its build folder)
        cp "$work/lib/x64/libIL.a" "$work/devil/lib/x64/libIL.a"
    fi
    build "$work/build-devil-1.8" picture_fuzzer -DQUORIN_FUZZ_DEVIL_ROOT="$work/devil"
    targets="$targets picture_fuzzer@devil-1.8"
fi

rm -rf "$work/seeds"
python3 "$here/make_seeds.py" "$archive" "$root/tools" "$work/seeds"

# One target: its binary, seeds, dictionary and input size.
run_one() {
    local target=$1 name=${1%@*} binary="$work/build/${1%@*}"
    [ "$target" != "$name" ] && binary="$work/build-${target#*@}/$name"
    local corpus="$work/corpus/$target" dict="$here/dictionaries/${name%_fuzzer}.dict"
    [ "$name" = bitmap_font_fuzzer ] && dict="$here/dictionaries/picture.dict"
    local max_len=65536
    case "$name" in
        truetype_font_fuzzer) max_len=1048576 ;;
        xml_mesh_fuzzer|content_fuzzer|xml_fuzzer) max_len=131072 ;;
        track_fuzzer) max_len=16384 ;;
    esac
    mkdir -p "$corpus"
    local options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=1024
                   -max_len="$max_len" -close_fd_mask=3 -print_final_stats=1
                   -artifact_prefix="$work/findings/$target-")
    [ -f "$dict" ] && options+=(-dict="$dict")
    local seeds="$work/seeds/$name"
    mkdir -p "$seeds"
    # Pictures that once failed (the engine tests' fixtures) and the real
    # pictures of the corpus are seeds too.
    local regressions=""
    [ "$name" = picture_fuzzer ] && regressions="$root/tests/engine/fixtures/pictures $root/tests/engine/fixtures/corpus"
    # The zip target writes each input to a file: in memory where possible.
    local tmp="$work"
    [ -d /dev/shm ] && [ -w /dev/shm ] && tmp=/dev/shm
    (cd "$work" && QUORIN_FUZZ_ARCHIVE="$archive" TMPDIR="$tmp" \
        "$binary" "${options[@]}" "$corpus" "$seeds" $regressions) >"$work/logs/$target.log" 2>&1
}
export -f run_one
export work here root seconds archive

status=0
printf '%s\n' $targets | xargs -P "$jobs" -I{} bash -c 'run_one "$@" || exit 0' _ {} || true

printf '%-32s %12s %10s %8s %s\n' target executions "exec/s" corpus findings
for target in $targets; do
    log="$work/logs/$target.log"
    runs=$(grep -oE 'stat::number_of_executed_units: [0-9]+' "$log" | grep -oE '[0-9]+$' || true)
    speed=$(grep -oE 'stat::average_exec_per_sec: *[0-9]+' "$log" | grep -oE '[0-9]+$' || true)
    corpus=$(find "$work/corpus/$target" -type f | wc -l)
    found=$(find "$work/findings" -name "$target-*" -type f | wc -l)
    kinds=$(find "$work/findings" -name "$target-*" -type f -printf '%f\n' |
            sed -E "s/^$target-([a-z-]+)-.*/\1/" | sort | uniq -c | awk '{printf "%s %s ", $1, $2}')
    printf '%-32s %12s %10s %8s %s\n' "$target" "${runs:-?}" "${speed:-?}" "$corpus" "${found}${kinds:+ ($kinds)}"
    if [ "$found" -gt 0 ] || [ -z "$runs" ]; then
        status=1
        grep -E -m3 'ERROR|SUMMARY|deadly|Test unit written' "$log" | sed 's/^/    /' || true
    fi
done
exit $status
