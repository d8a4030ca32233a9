#!/usr/bin/env bash
# The two programs side by side, for docs/perf-d3d.md; not run by ctest:
#
#     tests/game/bench_fps.sh LINUX_BUILD WINDOWS_BUILD [ROUNDS]
#
# LINUX_BUILD is a Release build holding bin/racer_gl, WINDOWS_BUILD a
# Release Windows build holding bin/racer_d3d.exe, each beside its
# quorin.zip. Each round, on the same machine and one right after the
# other, it measures for racer_gl and then racer_d3d (under Wine):
#
# - start-up: from starting the program to its window and to the first
#   menu frame on the screen (first_menu_frame.py), racer_d3d with Wine's
#   server already running (as on Windows, where nothing starts first);
# - frame rate: play_game.sh's "fps" game, a two-player race left running
#   for 12 seconds, with the frames counted by a preloaded wrapper of
#   SDL_GL_SwapBuffers for racer_gl (swap_counter.c, compiled here) and by
#   Wine's own frame counter (WINEDEBUG=+fps, one figure every 1.5 s) for
#   racer_d3d.
#
# A game that fails (play_game.sh's status) gives no figure: the round says
# so, and the benchmark exits 1 at the end. A start-up that fails stops it
# (set -e).
#
# Both draw through Mesa's software OpenGL (llvmpipe) under Xvfb: racer_d3d
# through Wine's Direct3D 9, which turns its calls into OpenGL.
set -eu
here="$(cd "$(dirname "$0")" && pwd)"
linux="$(cd "$1" && pwd)" windows="$(cd "$2" && pwd)" rounds="${3:-3}"
out="$windows/shots/bench"
mkdir -p "$out"
probe="$out/swap_counter.so"
cc -shared -fPIC -O2 -o "$probe" "$here/swap_counter.c" -ldl

# Mean of the figures printed while the race ran (play_game.sh records
# which lines of the program's output those are).
race_mean() {
    local dir="$1" pattern="$2" first last
    read -r first last <"$dir/race-lines.txt"
    sed -n "${first},${last}p" "$dir/output.log" | grep "$pattern" |
        sed -E 's/.*(swap_counter: |approx )([0-9.]+).*/\2/' |
        awk '{sum += $1; n++} END {if (n) printf "%.1f frames/s (%d figures)", sum / n, n; else print "no figures"}'
}

startups() {
    source "$here/../xvfb/xvfb.sh"
    source "$here/../xvfb/wine.sh"
    xvfb_start
    wine_start "$windows/wine"
    # A first start of Wine in a new prefix sets it up: not counted.
    python3 "$here/first_menu_frame.py" --cwd "$windows/bin" -- wine ./racer_d3d.exe >/dev/null
    echo "racer_gl start-up: $(SDL_AUDIODRIVER=dummy python3 "$here/first_menu_frame.py" --cwd "$linux/bin" -- ./racer_gl)"
    echo "racer_d3d start-up: $(python3 "$here/first_menu_frame.py" --cwd "$windows/bin" -- wine ./racer_d3d.exe)"
}

failed=0
for round in $(seq "$rounds"); do
    echo "--- round $round ($(cut -d' ' -f1-3 /proc/loadavg) load)"
    (startups)
    # A game that failed gives no figure: its frame rate is not the
    # program's (it may have stopped, crashed, or never reached the race).
    rm -f "$out/gl/race-lines.txt" "$out/d3d/race-lines.txt"
    if LD_PRELOAD="$probe" bash "$here/play_game.sh" "$linux/bin/racer_gl" "$out/gl" fps >"$out/gl.log" 2>&1; then
        echo "racer_gl two-player race: $(race_mean "$out/gl" swap_counter)"
    else
        echo "racer_gl two-player race: the game failed, no figure (log: $out/gl.log)"
        failed=1
    fi
    if WINEDEBUG=-all,+fps bash "$here/play_game.sh" --wine "$windows/wine" "$windows/bin/racer_d3d.exe" \
        "$out/d3d" fps >"$out/d3d.log" 2>&1; then
        echo "racer_d3d two-player race: $(race_mean "$out/d3d" 'wined3d_cs_exec_present')"
    else
        echo "racer_d3d two-player race: the game failed, no figure (log: $out/d3d.log)"
        failed=1
    fi
done
# Figures of failed games were left out; the benchmark fails with them.
[ $failed -eq 0 ] || { echo "bench_fps: a game failed: its figures are missing above" >&2; exit 1; }
