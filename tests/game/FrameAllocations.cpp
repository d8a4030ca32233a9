// Frames allocate nothing: the menus, ship selection and the race draw
// from what was loaded when their scene was built.
#include "GameFixture.h"

#include "MenuHostScene.h"
#include "Ship.h"

#include "MemoryFileSystem.h"

#include "AllocationCounter.h"

class FrameAllocationTest : public GameFixture {
protected:
    // Allocations and file opens made by `frames` frames of 1/60 s, after a
    // few frames of warm-up (growable tables of the engine reach their size
    // in the first frames of a screen).
    //
    // The OpenGL device replays and empties the render-state cache's list
    // of pending blend and texture states on every setTexture; the
    // recording device never does, so its list would grow: it is emptied
    // here before each frame as the real device would.
    void step()
    {
        game->renderStates().applyPending();
        game->onFrame(1.0f / 60.0f);
    }

    void measure(int frames, long& allocated, int& opened)
    {
        for (int i = 0; i < 5; ++i)
            step();
        MemoryFileSystem* archive = static_cast<MemoryFileSystem*>(game->archive);
        archive->resetCounts();
        long before = allocationCount();
        for (int i = 0; i < frames; ++i)
            step();
        allocated = allocationCount() - before;
        opened = archive->opens();
    }
};

TEST_F(FrameAllocationTest, MenuAndRaceFramesAllocateNothingAndOpenNoFile)
{
    ASSERT_TRUE(allocationCounterCounts());

    ASSERT_TRUE(start());
    game->setRecording(false);
    long allocated = 0;
    int opened = 0;
    measure(30, allocated, opened);
    EXPECT_EQ(allocated, 0) << "main menu";
    EXPECT_EQ(opened, 0) << "main menu";

    press(Key::down);
    press(Key::down);
    press(Key::enter);
    measure(30, allocated, opened);
    EXPECT_EQ(allocated, 0) << "instructions";
    EXPECT_EQ(opened, 0) << "instructions";

    press(Key::enter);
    press(Key::up);
    press(Key::up);
    press(Key::down);
    press(Key::enter);
    press(Key::right);
    measure(30, allocated, opened);
    EXPECT_EQ(allocated, 0) << "ship selection";
    EXPECT_EQ(opened, 0) << "ship selection";

    press(Key::enter);
    press(Key::enter);
    frame();
    ASSERT_NE(game->ship2, nullptr);
    // Past the countdown (whose sounds the recording sound manager logs).
    for (int i = 0; i < 100; ++i)
        frame();
    measure(30, allocated, opened);
    EXPECT_EQ(allocated, 0) << "two-player race";
    EXPECT_EQ(opened, 0) << "two-player race";
    EXPECT_GT(game->ship1->distance, 0.0f);
    EXPECT_EQ(game->levelIndex, 0) << "still the first race";
}
