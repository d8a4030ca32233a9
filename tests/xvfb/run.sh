#!/usr/bin/env bash
# Runs one Google Test program under its own Xvfb with Mesa's software
# OpenGL and exits with the status its run counts as: through
# tests/runner/gtest-run.sh, so that status 0 counts only with the
# framework's closing summary, at least one test run and none skipped.
#
#     tests/xvfb/run.sh ./bin/gl_scene_test --no-extensions
#
# See xvfb.sh for the helpers behind it.
set -u
here="$(dirname "$0")"
source "$here/xvfb.sh"
xvfb_start || exit 1
bash "$here/../runner/gtest-run.sh" "$@"
status=$?
xvfb_stop
exit $status
