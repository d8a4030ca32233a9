// Skipping a test for something missing on this machine (a package's file,
// a build product): skipped for a person running the tests by hand, a
// failure under tools/test.sh, which sets QUORIN_NO_SKIP (CI: nothing may
// be missing there), saying what is missing. Use in a test body or SetUp.
// (Any other skip fails there too: tests/runner/NoSkip.cpp and the
// launcher's verdict, tests/runner/verdict.sh.)
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>

#define QUORIN_SKIP_MISSING(message)                                                   \
    do {                                                                               \
        if (std::getenv("QUORIN_NO_SKIP"))                                             \
            FAIL() << message << " (QUORIN_NO_SKIP is set: no test may be skipped)"; \
        GTEST_SKIP() << message;                                                       \
    } while (0)
