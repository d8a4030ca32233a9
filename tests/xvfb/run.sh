#!/usr/bin/env bash
# Runs one command under its own Xvfb with Mesa's software OpenGL and exits
# with the command's status:
#
#     tests/xvfb/run.sh ./bin/gl_scene_test --no-extensions
#
# See xvfb.sh for the helpers behind it.
set -u
source "$(dirname "$0")/xvfb.sh"
xvfb_start || exit 1
"$@"
status=$?
xvfb_stop
exit $status
