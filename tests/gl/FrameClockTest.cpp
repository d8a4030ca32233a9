#include "FrameClock.h"

#include <gtest/gtest.h>

TEST(FrameClock, FirstFrameHasNoElapsedTimeThenTicksBecomeSeconds)
{
    FrameClock clock;
    EXPECT_EQ(clock.tick(5000), 0.0f);
    EXPECT_FLOAT_EQ(clock.tick(5016), 0.016f);
    EXPECT_FLOAT_EQ(clock.tick(5016), 0.0f);
    EXPECT_FLOAT_EQ(clock.tick(6016), 1.0f);
}

TEST(FrameClock, ElapsedTimeSurvivesTheCounterWrappingAround)
{
    FrameClock clock;
    clock.tick(0xFFFFFFF0u);
    EXPECT_FLOAT_EQ(clock.tick(0x10u), 0.032f);
}

TEST(FrameClock, SteadySixtyFramesASecondReadsSixtyOrSixtyOne)
{
    FrameClock clock;
    EXPECT_EQ(clock.fps(), 0);
    // Loading finished after 300 ms: frames at 60 a second from then on.
    uint32_t start = 300;
    int frame = 0;
    for (; start + frame * 1000 / 60 <= 1000; ++frame)
        clock.tick(start + frame * 1000 / 60);
    EXPECT_EQ(clock.fps(), 0) << "no figure until more than a second has passed";
    for (; frame < 60 * 5; ++frame) {
        clock.tick(start + frame * 1000 / 60);
        if (frame > 120) {
            EXPECT_GE(clock.fps(), 60);
            EXPECT_LE(clock.fps(), 61);
        }
    }
}

TEST(FrameClock, FirstFrameAfterLongLoadingReadsOne)
{
    FrameClock clock;
    clock.tick(2500);
    EXPECT_EQ(clock.fps(), 1);
}

TEST(FrameClock, FigureKeepsRefreshingAfterTheCounterWraps)
{
    FrameClock clock;
    clock.tick(0xFFFFF000u);
    clock.tick(0xFFFFFFF0u);
    for (uint32_t t = 10; t <= 2000; t += 10)
        clock.tick(t);
    EXPECT_GT(clock.fps(), 50);
}
