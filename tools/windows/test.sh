#!/usr/bin/env bash
# Builds the Windows configuration (tools/windows/build.sh) and runs its test
# suite under Wine through ctest, headless: a Wine prefix of its own inside
# the build tree (build/windows/wineprefix, made once), Wine's messages off,
# and one persistent wineserver for the whole run, so each test program does
# not pay Wine's start-up again. None of these tests needs a display: tests
# that open windows run under Xvfb in Wine prefixes of their own.
# Test programs start through tools/windows/wine-run.sh, which tells a start
# that Wine failed apart from a test that failed.
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
# Debian's 64-bit Wine without its preloader lets the kernel put the loader's
# heap anywhere in the gigabyte above it, now and then over the page every
# Windows process has at 0x7ffe0000: such a start ends at once, saying
# nothing ("failed to map the shared user data", hidden by WINEDEBUG=-all),
# about one start in ten thousand. The preloader reserves Wine's fixed
# addresses before anything else is mapped.
if [ -x /usr/lib/wine/wine64 ] && [ ! -x /usr/lib/wine/wine64-preloader ]; then
  die "wine64-preloader is not installed (tools/install-deps.sh installs it)"
fi

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

# A server of this prefix left by an earlier run may not be persistent
# (Debian's wineserver ends with its last program): ended, then one that
# stays for the whole run is started.
wineserver -k >/dev/null 2>&1 || true
wineserver -w >/dev/null 2>&1 || true
wineserver -p || die "wineserver does not start for $WINEPREFIX"
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
# No crash debugger: Wine would start winedbg on a crash, which writes its
# report on the program's standard output and can keep a crashed test
# waiting until ctest's timeout. Without one, a crash ends the program at
# once with the exception's status (5 for an access violation).
run_quietly wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /d '' /f ||
  die "cannot turn Wine's crash debugger off"
( run_quietly wine notepad.exe & )
run_quietly wine rundll32.exe user32.dll,GetDesktopWindow ||
  die "Wine's desktop does not start in $WINEPREFIX"

# Every test program runs through tools/windows/wine-run.sh, which starts a
# program again, once, only when Wine reported that it could not start it
# (and the program wrote nothing); each such start is listed here, after
# the suite, whatever its result.
export QUORIN_WINE_RERUN_LOG="$BUILD/wine-reruns.log"
rm -f "$QUORIN_WINE_RERUN_LOG"
cd "$BUILD"
status=0
ctest --output-on-failure -j"$JOBS" --timeout 1200 || status=$?
if [ -s "$QUORIN_WINE_RERUN_LOG" ]; then
  echo "windows tests: ******** Wine could not start $(wc -l <"$QUORIN_WINE_RERUN_LOG") test program(s) the first time; each ran again once: ********"
  sed 's/^/windows tests:   /' "$QUORIN_WINE_RERUN_LOG"
fi
exit $status
