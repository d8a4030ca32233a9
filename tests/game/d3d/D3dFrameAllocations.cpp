// racer_d3d's frames allocate nothing: the whole game, built over the real
// Direct3D device with the real quorin.zip, played from inside the program
// through the main menu, ship selection and a two-player race, with every
// heap allocation of 30 frames on each screen counted: the game,
// the engine, the device operations and the host's loop turn together.
//
// Runs under Wine in a window of its own (tests/d3d/wine-window.sh), in the
// folder of quorin.zip.
#include "Game.h"
#include "Scene.h"
#include "Ship.h"

#include "AllocationCounter.h"
#include "ScriptedD3dDevice.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

const int measuredFrames = 30;

struct Measure {
    const char* screen;
    long allocations = -1;
    int frames = 0;
};
Measure measures[3] = {{"main menu"}, {"ship selection"}, {"two-player race"}};

// The steps of the game, each taken once the one before is done. A key is
// given for one frame only and 0.3 s of game time apart, so the menus'
// one-key-per-0.2-s filter lets each through exactly once; each screen is
// left to settle (its first frames fill the engine's tables) before its
// frames are counted.
enum Action { settle, measure, press, waitForTheRace, quit };
struct Step {
    Action action;
    int value;   // the key pressed or the measure taken
};
const Step steps[] = {
    {settle, 0},
    {measure, 0},
    {press, Key::down},    // "two players"
    {press, Key::enter},   // player 1's ship selection
    {settle, 0},
    {measure, 1},
    {press, Key::enter},   // player 1's ship, then player 2's selection
    {press, Key::enter},   // player 2's ship: the race, from its countdown
    {waitForTheRace, 0},
    {settle, 0},
    {measure, 2},
    {quit, 0},
};
const int stepCount = sizeof(steps) / sizeof(steps[0]);
// A game that never gets where the script goes ends here instead of hanging.
const float giveUpAfter = 120.0f;

int step = 0;
float stepStart = 0.0f;
int stepFrames = 0;
long measureBefore = 0;
bool raceWhileMeasured = true;
float distanceAtStart = -1.0f;
float distanceAtEnd = -1.0f;
bool quitByScript = false;

bool racing()
{
    Game* game = Game::instance();
    return game->scene && game->scene->getId() == sceneRace && game->ship1 && game->ship2;
}

void next(float seconds)
{
    ++step;
    stepStart = seconds;
    stepFrames = 0;
}

void play(ScriptedD3dDevice& device, float seconds)
{
    if (quitByScript)
        return;
    if (seconds > giveUpAfter) {
        quitByScript = true;
        device.requestQuit();
        return;
    }
    const Step& current = steps[step];
    const float since = seconds - stepStart;
    ++stepFrames;
    switch (current.action) {
    case settle:
        if (since >= 1.0f && stepFrames > 10)
            next(seconds);
        break;
    case measure: {
        Measure& m = measures[current.value];
        if (stepFrames == 1)
            measureBefore = allocationCount();
        if (current.value == 2) {
            raceWhileMeasured = raceWhileMeasured && racing();
            if (racing()) {
                if (distanceAtStart < 0.0f)
                    distanceAtStart = Game::instance()->ship1->distance;
                distanceAtEnd = Game::instance()->ship1->distance;
            }
        }
        if (stepFrames > measuredFrames) {
            m.allocations = allocationCount() - measureBefore;
            m.frames = measuredFrames;
            next(seconds);
        }
        break;
    }
    case press:
        if (since >= 0.3f && stepFrames > 2) {
            device.onKey(current.value);
            next(seconds);
        }
        break;
    case waitForTheRace:
        // Past the countdown: the ships move.
        if (racing() && Game::instance()->ship1->distance > 0.0f)
            next(seconds);
        break;
    case quit:
        quitByScript = true;
        device.requestQuit();
        break;
    }
}

} // namespace

TEST(D3dFrameAllocations, MenuShipSelectionAndRaceFramesAllocateNothing)
{
    ASSERT_TRUE(allocationCounterCounts());
    ScriptedD3dDevice::setScript(play);
    Game* game = Game::instance();
    int result = game->run(640, 480, false, "Quorin", false, true);
    bool contentFailed = game->contentFailed();
    destroyGame();
    ASSERT_EQ(result, 0);
    ASSERT_FALSE(contentFailed) << "quorin.zip is read from the working directory";
    ASSERT_TRUE(quitByScript) << "the program ended before the script did";
    ASSERT_EQ(step, stepCount - 1) << "the game did not get past step " << step;

    for (const Measure& m : measures) {
        std::printf("%s: %d frames, %ld allocations\n", m.screen, m.frames, m.allocations);
        EXPECT_EQ(m.allocations, 0) << m.screen << ", " << m.frames << " frames";
    }
    EXPECT_TRUE(raceWhileMeasured) << "a two-player race ran through the counted frames";
    EXPECT_GT(distanceAtEnd, distanceAtStart) << "the ships move";
}
