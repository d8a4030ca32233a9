#!/usr/bin/env bash
# Sets everything up and plays: installs the packages, builds the game and
# its content archive, and starts racer_gl from the folder holding quorin.zip.
#
# Environment: QUORIN_JOBS  parallel compile jobs (default: nproc)
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS="${QUORIN_JOBS:-$(nproc)}"
bash tools/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORIN_TESTS=OFF >/dev/null
cmake --build build/release -j"$JOBS"
cd build/release/bin
if [ ! -x ./racer_gl ]; then
  echo "racer_gl is not built yet." >&2
  exit 1
fi
if [ -z "${DISPLAY:-}" ]; then
  echo "No X display (DISPLAY is unset): run this from a desktop session to play." >&2
  exit 1
fi
exec ./racer_gl
