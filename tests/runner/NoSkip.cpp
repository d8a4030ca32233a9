// Where nothing may be skipped (QUORIN_NO_SKIP set, as tools/test.sh does),
// a test that skips fails instead, in every test program whose cases ctest
// runs one by one (quorin_discover_tests links this in): ctest's entries of
// gtest_discover_tests take "[  SKIPPED ]" in a program's output as a skip
// whatever the program's status, so the launcher's verdict on a skip
// (tests/runner/verdict.sh) would not be seen there. The failure is added
// as the test ends, before Google Test's printer hears of that end: the
// printer then writes "[  FAILED  ]", and no such line.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

class NoSkip : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override { skip_.clear(); }

    // A failure cannot be added here: Google Test reports a result while it
    // holds the lock that adding one takes.
    void OnTestPartResult(const testing::TestPartResult& result) override
    {
        if (result.skipped() && skip_.empty())
            skip_ = std::string(result.file_name() ? result.file_name() : "?") + ":" +
                    std::to_string(result.line_number()) + ": " + result.message();
    }

    void OnTestEnd(const testing::TestInfo&) override
    {
        if (!skip_.empty() && std::getenv("QUORIN_NO_SKIP"))
            ADD_FAILURE() << "skipped at " << skip_ << "\nQUORIN_NO_SKIP is set: no test may be skipped";
        skip_.clear();
    }

    std::string skip_;
};

// Google Test tells the listeners of a test's end in the reverse order of
// their appending: this one, appended after the default printer (made with
// the framework's instance), hears of it first.
const bool installed = [] {
    testing::UnitTest::GetInstance()->listeners().Append(new NoSkip);
    return true;
}();

} // namespace
