# Skipping a test for something missing (a tool not installed, a program
# not built): exit 77, which ctest counts as skipped (SKIP_RETURN_CODE) for
# a person running one test by hand. tools/test.sh, which CI runs, sets
# QUORIN_NO_SKIP=1: there nothing may be missing, and the same test fails.
#
#     source tests/skip.sh
#     command -v twm >/dev/null || skip_test wine-minimise "twm is not installed"

skip_test() {
    if [ -n "${QUORIN_NO_SKIP:-}" ]; then
        echo "$1: FAILED: $2 (QUORIN_NO_SKIP is set: no test may be skipped)" >&2
        exit 1
    fi
    echo "$1: $2; skipped"
    exit 77
}
