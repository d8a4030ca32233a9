# The one judgement of a Google Test program's run, shared by every script
# that runs one: tests/runner/gtest-run.sh (natively: ctest's runs and
# listings, tests/xvfb/run.sh), tools/windows/wine-run.sh (under Wine:
# ctest's runs and listings, tests/d3d/wine-window.sh) and
# tests/d3d/wine-minimise.sh.
#
#     source tests/runner/verdict.sh
#     export TEST_PREMATURE_EXIT_FILE=$work/premature   # before the start
#     program ... | tee "$work/out"; status=${PIPESTATUS[0]}
#     gtest_verdict program "$status" "$work/out" "$work/premature" ARGUMENTS...
#     exit "$gtest_status"
#
# Google Test makes the file TEST_PREMATURE_EXIT_FILE names as its run
# starts and removes it once the run is over: a file still there means the
# program ended in the middle (an exit or abort in the code under test),
# whatever its status and whatever it printed before (a second pass of
# --gtest_repeat, say).
#
# A status other than 0 stands as it is. A status of 0 counts only when:
# - a listing (--gtest_list_tests) names at least one test suite;
# - any other run ends with Google Test's closing summary
#   ("[==========] N tests from M test suites ran." and "[  PASSED  ] K
#   tests.") with N at least 1: a filter that selects no test fails, and
#   so does one that names a test (no wildcard) that did not run;
# - no test was skipped: status 77 for a person running a test by hand
#   (ctest shows a case it runs by name as skipped; a whole program's
#   entry, which has no skip code, fails), a failure when QUORIN_NO_SKIP
#   is set, as tools/test.sh does.
# Whatever fails says why on the standard error, and gtest_status is 1.

gtest_verdict() {
    local name="$1" status="$2" output="$3" premature="$4"
    shift 4
    local listing=0 arg
    for arg in "$@"; do
        [ "$arg" = --gtest_list_tests ] && listing=1
    done
    gtest_status=$status
    # Wine's programs end their lines with CR LF.
    local text
    text="$(tr -d '\r' <"$output" 2>/dev/null)"

    if [ -e "$premature" ]; then
        echo "gtest: $name ended (status $status) in the middle of its run: Google Test's premature-exit file is still there; something under test ended the program" >&2
        [ "$status" -ne 0 ] || gtest_status=1
        return
    fi
    [ "$status" -eq 0 ] || return

    if [ $listing = 1 ]; then
        # Suite lines of a listing: "Suite." or "Suite/0.  # TypeParam = ...".
        grep -E -q '^[A-Za-z_][^ ]*\.( +#.*)?$' <<<"$text" || {
            echo "gtest: $name listed no test (status 0)" >&2
            gtest_status=1
        }
        return
    fi

    local ran
    ran=$(sed -n -E 's/^\[==========\] ([0-9]+) tests? from [0-9]+ test (suites?|cases?) ran\..*/\1/p' <<<"$text" | tail -n 1)
    if [ -z "$ran" ] || ! grep -E -q '^\[  PASSED  \] [0-9]+ tests?\.' <<<"$text"; then
        echo "gtest: $name ended with status 0 without Google Test's closing summary: its run did not end as a test run ends" >&2
        gtest_status=1
        return
    fi
    if [ "$ran" -eq 0 ]; then
        echo "gtest: $name ran no test (${*:-no arguments}): a filter that selects nothing?" >&2
        gtest_status=1
        return
    fi
    # Each test the filter names exactly (no wildcard) must have run.
    local filter="" pattern missing=""
    for arg in "$@"; do
        case "$arg" in --gtest_filter=*) filter="${arg#--gtest_filter=}" ;; esac
    done
    local IFS=:
    for pattern in ${filter%%-*}; do
        case "$pattern" in *'*'* | *'?'* | '') continue ;; esac
        grep -F -x -q "[ RUN      ] $pattern" <<<"$text" || missing+=" $pattern"
    done
    unset IFS
    if [ -n "$missing" ]; then
        echo "gtest: $name did not run the test(s) its filter names:$missing" >&2
        gtest_status=1
        return
    fi
    local skipped
    skipped=$(sed -n -E 's/^\[  SKIPPED \] ([0-9]+) tests?, listed below:.*/\1/p' <<<"$text" | tail -n 1)
    if [ -n "$skipped" ] && [ "$skipped" -gt 0 ]; then
        local which
        which=$(sed -n -E 's/^\[  SKIPPED \] ([^ ,]+)$/\1/p' <<<"$text" | sort -u | tr '\n' ' ')
        if [ -n "${QUORIN_NO_SKIP:-}" ]; then
            echo "gtest: $name FAILED: $skipped test(s) skipped (${which% }); QUORIN_NO_SKIP is set: no test may be skipped" >&2
            gtest_status=1
        else
            echo "gtest: $name skipped $skipped test(s) (${which% }): counted as skipped (status 77)" >&2
            gtest_status=77
        fi
    fi
}
