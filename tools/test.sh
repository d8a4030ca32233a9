#!/usr/bin/env bash
# Sets everything up and runs every test: installs the packages, builds the
# test configuration (AddressSanitizer + UndefinedBehaviorSanitizer) and runs
# the whole suite, the programs under Xvfb included.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUORIN_SANITIZE=ON >/dev/null
cmake --build build/test -j"$(nproc)"
cd build/test
ctest --output-on-failure -j"$(nproc)" --timeout 600
