#!/usr/bin/env bash
# Frame rate of racer_gl in a two-player race under Xvfb (Mesa software
# OpenGL), for docs/perf-game.md; not run by ctest:
#
#     tests/game/bench_racer_gl_fps.sh BUILD_DIR
#
# BUILD_DIR is a Release build holding bin/racer_gl and bin/quorin.zip. The
# frames are counted by a preloaded wrapper of SDL_GL_SwapBuffers
# (swap_counter.c, compiled here); the figures printed are those of the 12
# seconds of racing.
set -eu
here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "$1" && pwd)"
probe="$build/swap_counter.so"
cc -shared -fPIC -O2 -o "$probe" "$here/swap_counter.c" -ldl
LD_PRELOAD="$probe" bash "$here/play_game.sh" "$build/bin/racer_gl" "$build/shots/fps" fps >/dev/null || true
read -r first last <"$build/shots/fps/race-lines.txt"
sed -n "${first},${last}p" "$build/shots/fps/output.log" | grep swap_counter |
    awk '{print; sum += $2; n++} END {if (n) printf "mean over %d s: %.1f frames per second\n", n, sum / n}'
