#!/usr/bin/env bash
# Builds the Windows configuration with mingw-w64: the dependencies once
# (tools/windows/build-deps.sh, cached in build/windows-deps), then the
# engine, the game, the programs and the test programs into build/windows.
# Programs and test .exe files land in build/windows/bin, beside quorin.zip.
#
# Environment: QUORIN_JOBS  parallel compile jobs (default: nproc)
#              QUORIN_GL_RACE_FRAMES  where racer_gl's scripted race frames
#                are, for racer_d3d's to be compared with (default: those
#                of the native test build, build/test, which tools/test.sh
#                runs first); the test also takes it from its environment
#                when it runs
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
BUILD="$ROOT/build/windows"
PREFIX="$ROOT/build/windows-deps/prefix"
JOBS="${QUORIN_JOBS:-$(nproc)}"

die() { echo "windows build: $*" >&2; exit 1; }

for tool in x86_64-w64-mingw32-gcc-posix x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-windres \
            cmake ninja pkg-config python3 zip; do
  command -v "$tool" >/dev/null 2>&1 || die "$tool not found (tools/install-deps.sh installs it)"
done

QUORIN_DEPS_JOBS="$JOBS" bash "$ROOT/tools/windows/build-deps.sh" ||
  die "the dependencies did not build (the library and its log are named above)"

mkdir -p "$BUILD"
cmake -S "$ROOT" -B "$BUILD" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" \
  -DQUORIN_WINDOWS_PREFIX="$PREFIX" \
  -DQUORIN_GL_RACE_FRAMES="${QUORIN_GL_RACE_FRAMES:-$ROOT/build/test/shots/racer_gl-race}" \
  -DCMAKE_BUILD_TYPE=Release >"$BUILD/configure.log" 2>&1 || {
  tail -n 40 "$BUILD/configure.log" >&2
  die "configuring build/windows failed (log: $BUILD/configure.log)"
}
cmake --build "$BUILD" -j"$JOBS" || die "building build/windows failed"
