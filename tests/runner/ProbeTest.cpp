// A Google Test program that misbehaves on request, as code under test can:
// the launcher's own test (launcher_test.sh) runs it through every wrapper
// and checks that none of these runs passes. QUORIN_PROBE chooses:
//   exit-at-start       ends the program with status 0 before main
//   exit                Probe.Second ends the program with status 0
//   exit-when-repeated  the same, on its second run (--gtest_repeat=2)
//   skip                Probe.Second skips itself
//   fail                Probe.Second fails

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

std::string probe()
{
    const char* value = std::getenv("QUORIN_PROBE");
    return value ? value : "";
}

const bool endedAtStart = [] {
    if (probe() == "exit-at-start")
        std::exit(0);
    return false;
}();

} // namespace

TEST(Probe, First)
{
    EXPECT_FALSE(endedAtStart);
}

TEST(Probe, Second)
{
    static int runs = 0;
    ++runs;
    const std::string what = probe();
    if (what == "exit" || (what == "exit-when-repeated" && runs == 2))
        std::exit(0);
    if (what == "skip")
        GTEST_SKIP() << "asked to skip";
    EXPECT_NE(what, "fail");
}
