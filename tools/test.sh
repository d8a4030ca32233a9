#!/usr/bin/env bash
# Sets everything up and runs every test: installs the packages, builds the
# test configuration (AddressSanitizer + UndefinedBehaviorSanitizer) and runs
# the whole suite, the programs under Xvfb included, then builds and runs it
# again as a Release build, and finally cross-builds the Windows
# configuration with mingw-w64 and runs its suite under Wine.
#
# Environment: QUORIN_JOBS  parallel compile jobs and tests (default: nproc)
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS="${QUORIN_JOBS:-$(nproc)}"
# Here nothing may be missing or skipped: a test that would be skipped for
# a tool not installed or a program not built (exit 77, or GTEST_SKIP)
# fails instead (tests/skip.sh, tests/support/SkipMissing.h,
# tests/runner/NoSkip.cpp and verdict.sh), so that a dropped install step
# or a test's missing setting cannot pass for a green run. Run by hand,
# such a test is skipped.
export QUORIN_NO_SKIP=1
bash tools/install-deps.sh
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUORIN_SANITIZE=ON >/dev/null
cmake --build build/test -j"$JOBS"
cd build/test
ctest --output-on-failure -j"$JOBS" --timeout 1200
cd ../..

# The same suite optimised and without sanitizers, so that no test passes
# only in a Debug build. The fuzzers build a project of their own, the same
# whatever the build type: they run once, above.
cmake -S . -B build/test-release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/test-release -j"$JOBS"
ctest --test-dir build/test-release --output-on-failure -j"$JOBS" --timeout 1200 -E '^fuzz_loaders$'

# The Windows build (dependencies cross-built once and cached) and its suite
# under Wine; a missing tool or a library that fails to build stops here
# with a message naming it.
bash tools/windows/test.sh
