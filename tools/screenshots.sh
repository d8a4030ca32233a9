#!/usr/bin/env bash
# Copies the screenshots the whole-program tests took into docs/screens/,
# for the README: the main menu, player 1's ship selection and the
# two-player countdown, of racer_gl and of racer_d3d, at half size:
#
#     tools/screenshots.sh LINUX_BUILD WINDOWS_BUILD
#
# LINUX_BUILD and WINDOWS_BUILD are builds whose play tests have run
# (ctest -R play): their pictures are in <build>/shots/<program>-<mode>/.
set -euo pipefail
linux="$(cd "$1" && pwd)" windows="$(cd "$2" && pwd)"
cd "$(dirname "$0")/.."
mkdir -p docs/screens
for program in racer_gl racer_d3d; do
  build="$linux"
  [ "$program" = racer_d3d ] && build="$windows"
  while read -r name shot; do
    source="$build/shots/$program-$shot"
    [ -f "$source" ] || { echo "screenshots: $source is missing (run the play tests first)" >&2; exit 1; }
    # Half size, 256 colours, no dates or comments: small and the same
    # bytes for the same picture.
    convert "$source" -resize 50% -strip -colors 256 "PNG8:docs/screens/$program-$name.png"
  done <<'LIST'
menu one/01-menu.png
ship-select two/02-ship-select-player1.png
two-players two/04-two-players-countdown.png
LIST
done
ls -l docs/screens
