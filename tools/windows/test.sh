#!/usr/bin/env bash
# Builds the Windows configuration (tools/windows/build.sh) and runs its test
# suite under Wine through ctest, headless: a Wine prefix of its own inside
# the build tree (build/windows/wineprefix, made once), Wine's messages off,
# and one persistent wineserver for the whole run, so each test program does
# not pay Wine's start-up again. None of these tests needs a display: tests
# that open windows run under Xvfb in Wine prefixes of their own.
#
# Environment: QUORIN_JOBS  parallel compile jobs and tests (default: nproc)
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
BUILD="$ROOT/build/windows"
JOBS="${QUORIN_JOBS:-$(nproc)}"

die() { echo "windows tests: $*" >&2; exit 1; }

for tool in wine wineserver wineboot; do
  command -v "$tool" >/dev/null 2>&1 || die "$tool not found (tools/install-deps.sh installs it)"
done

bash "$ROOT/tools/windows/build.sh"

export WINEDEBUG=-all
export WINEPREFIX="$BUILD/wineprefix"
# No Mono or Gecko: nothing here needs them, and Wine would offer to
# download them.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "windows tests: making the Wine prefix $WINEPREFIX"
  rm -rf "$WINEPREFIX"
  wineboot -i >"$BUILD/wineboot.log" 2>&1 || {
    tail -n 20 "$BUILD/wineboot.log" >&2
    die "wineboot could not make the Wine prefix (log: $BUILD/wineboot.log)"
  }
  wineserver -w
fi

# A server left running by an earlier run of this prefix is reused.
wineserver -p >/dev/null 2>&1 || true
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT

# Wine's own processes (services, and the desktop that winmm's message
# window needs) inherit the standard output and error of the program that
# starts them and outlive it; ctest reads a test's output to its end, so a
# test that happened to start one would wait for it. They are started here
# instead, with nothing to hold open, and kept for the whole run: the
# services by a first program, the desktop (on Wine's null graphics driver:
# nothing here draws) by a program that stays, Notepad in its invisible
# window; the last call returns once the desktop is up.
run_quietly() { "$@" </dev/null >/dev/null 2>&1; }
run_quietly wine cmd.exe /c exit || die "Wine cannot run a program in $WINEPREFIX"
run_quietly wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f ||
  die "cannot select Wine's null graphics driver"
( run_quietly wine notepad.exe & )
run_quietly wine rundll32.exe user32.dll,GetDesktopWindow ||
  die "Wine's desktop does not start in $WINEPREFIX"

cd "$BUILD"
ctest --output-on-failure -j"$JOBS" --timeout 600
