// racer_d3d loses its Direct3D device in the middle of a race, as when
// Windows locks the screen: the whole game over the real Direct3D device
// with the real quorin.zip, played from inside the program to a one-player
// race, whose Present then answers D3DERR_DEVICELOST; TestCooperativeLevel
// answers lost for a while, then "to be reset", and Direct3D's own Reset
// does the work (tests/d3d/Direct3dHooks.h). Reset refuses while any
// default-pool object or the screen surface is held, so its success shows
// nothing was kept.
//
// For its frames to be compared, the race is made to stand still before
// the loss: the host's clock then moves by a nanosecond a reading, too
// little to move anything in the game's float state, while each minute the
// device is lost is a minute of that clock.
//
// Runs under Wine in a window of its own (tests/d3d/wine-window.sh), in the
// folder of quorin.zip.
#include "Game.h"
#include "Scene.h"
#include "Ship.h"

#include "Direct3dHooks.h"
#include "ScriptedD3dDevice.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

const int64_t nanoseconds = 1000000000;

// The host's counter: real time in nanoseconds until the race is made to
// stand still, then one nanosecond a reading.
bool standingStill = false;
int64_t lastTicks = 0;

int64_t counter()
{
    if (standingStill)
        return ++lastTicks;
    LARGE_INTEGER now;
    LARGE_INTEGER frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    lastTicks = now.QuadPart / frequency.QuadPart * nanoseconds +
                now.QuadPart % frequency.QuadPart * nanoseconds / frequency.QuadPart;
    return lastTicks;
}

struct Picture {
    std::vector<uint32_t> pixels;
    int pitch = 0;
    void take(IDirect3DDevice9* device) { pixels = readRenderTarget(device, &pitch); }
};

size_t differingPixels(const Picture& a, const Picture& b)
{
    if (a.pixels.size() != b.pixels.size())
        return a.pixels.size() + b.pixels.size();
    size_t count = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i)
        count += (a.pixels[i] & 0xFFFFFFu) != (b.pixels[i] & 0xFFFFFFu);
    return count;
}

enum Phase { menu, shipChoice, waitForTheRace, racing, standing, lostAndBack, done };
Phase phase = menu;
float phaseStart = 0.0f;
int phaseFrames = 0;
const ULONGLONG giveUpAfterMs = 180000;
ULONGLONG startedAt = 0;
bool gaveUp = false;

std::unique_ptr<LostDevice> lost;
std::vector<std::string> failures;
Picture beforeLoss;   // the frame before the lost one
Picture lostFrame;
Picture frameAfter;
float clockBefore = -1.0f;
float clockAfter = -1.0f;
float raceClockBefore = -1.0f;
float raceClockAfter = -1.0f;
ULONG referencesBefore = 0;
ULONG referencesAfter = 0;
size_t resourcesBefore = 0;
size_t resourcesAfter = 0;
bool raceAfter = false;

bool inRace()
{
    Game* game = Game::instance();
    return game->scene && game->scene->getId() == sceneRace && game->ship1;
}

size_t resourceCount(const D3dDevice& device)
{
    const ResourceRegistry& r = device.resources();
    size_t count = 0;
    for (const auto* t : r.textures())
        count += t != nullptr;
    for (const auto* v : r.vertexBuffers())
        count += v != nullptr;
    for (const auto* i : r.indexBuffers())
        count += i != nullptr;
    return count;
}

void next(Phase to, float seconds)
{
    phase = to;
    phaseStart = seconds;
    phaseFrames = 0;
}

void play(ScriptedD3dDevice& device, float seconds)
{
    if (phase == done)
        return;
    if (GetTickCount64() - startedAt > giveUpAfterMs) {
        gaveUp = true;
        phase = done;
        device.requestQuit();
        return;
    }
    Game* game = Game::instance();
    if (!lost) {
        lost.reset(new LostDevice(device.d3dDevice()));
        // Lost for three readings of the device, a minute each, then to
        // be reset.
        lost->cooperativeAnswers = {D3DERR_DEVICELOST, D3DERR_DEVICELOST, D3DERR_DEVICELOST,
                                    D3DERR_DEVICENOTRESET};
        lost->whileLost = [] { lastTicks += 60 * nanoseconds; };
        lost->atPresent = [](IDirect3DDevice9* d3d) {
            if (phase == standing)
                beforeLoss.take(d3d);
        };
        lost->atLostPresent = [](IDirect3DDevice9* d3d) { lostFrame.take(d3d); };
        lost->atFirstPresentAfterReset = [](IDirect3DDevice9* d3d) { frameAfter.take(d3d); };
    }
    const float since = seconds - phaseStart;
    ++phaseFrames;
    switch (phase) {
    case menu:   // "one player" is chosen first
        if (since >= 1.0f && phaseFrames > 10) {
            device.onKey(Key::enter);
            next(shipChoice, seconds);
        }
        break;
    case shipChoice:
        if (since >= 1.0f && phaseFrames > 10) {
            device.onKey(Key::enter);
            next(waitForTheRace, seconds);
        }
        break;
    case waitForTheRace:
        // Past the countdown: the ship moves.
        if (inRace() && game->ship1->distance > 0.0f)
            next(racing, seconds);
        break;
    case racing:
        if (since >= 0.5f) {
            standingStill = true;
            next(standing, seconds);
        }
        break;
    case standing:
        // A few frames to stand still; this frame's Present is lost.
        if (phaseFrames == 5) {
            clockBefore = game->clock;
            raceClockBefore = game->ship1->raceClock;
            referencesBefore = deviceReferences(device.d3dDevice());
            resourcesBefore = resourceCount(device);
            lost->lose();
            next(lostAndBack, seconds);
        }
        break;
    case lostAndBack:
        // The frame after the reset has been shown.
        if (lost->presentsAfterReset >= 1) {
            clockAfter = game->clock;
            raceClockAfter = inRace() ? game->ship1->raceClock : -1.0f;
            raceAfter = inRace();
            referencesAfter = deviceReferences(device.d3dDevice());
            resourcesAfter = resourceCount(device);
            phase = done;
            device.requestQuit();
        }
        break;
    case done:
        break;
    }
}

} // namespace

TEST(D3dLostDevice, MidRaceTheGameGoesOnWithTheSameFrameAndClock)
{
    startedAt = GetTickCount64();
    ScriptedD3dDevice::setScript(play);
    ScriptedD3dDevice::setCounter(counter, nanoseconds);
    Game* game = Game::instance();
    MessageBoxAnswerer answerer("Quorin");
    const int result = game->run(640, 480, false, "Quorin", false, true);
    answerer.wait();
    const bool contentFailed = game->contentFailed();
    destroyGame();
    ASSERT_FALSE(answerer.seen()) << "the game showed: " << answerer.text();
    ASSERT_EQ(result, 0) << "the game ended with a failure";
    ASSERT_FALSE(contentFailed) << "quorin.zip is read from the working directory";
    ASSERT_FALSE(gaveUp) << "the game did not get past phase " << phase;
    ASSERT_EQ(phase, done);
    ASSERT_TRUE(lost);

    EXPECT_EQ(lost->presentsLost, 1);
    EXPECT_EQ(lost->cooperativeCalls, 4);
    ASSERT_EQ(lost->realResets, std::vector<HRESULT>{D3D_OK})
        << "Direct3D refused the reset: a default-pool object or the screen surface was still held";
    EXPECT_EQ(resourcesAfter, resourcesBefore);
    EXPECT_EQ(referencesAfter, referencesBefore) << "references on the device leaked or were lost";
    EXPECT_TRUE(raceAfter) << "the race goes on";

    // Three minutes passed while the device was lost; the race saw none.
    EXPECT_GE(clockBefore, 0.0f);
    EXPECT_LT(clockAfter - clockBefore, 0.001f) << "the game's clock jumped";
    EXPECT_LT(raceClockAfter - raceClockBefore, 0.001f) << "the race clock jumped";
    EXPECT_GE(raceClockAfter, raceClockBefore);

    ASSERT_EQ(lostFrame.pixels.size(), 640u * 480u);
    size_t black = 0;
    for (uint32_t pixel : lostFrame.pixels)
        black += (pixel & 0xFFFFFFu) == 0;
    EXPECT_LT(black, lostFrame.pixels.size() / 2) << "the race is drawn";
    ASSERT_EQ(differingPixels(beforeLoss, lostFrame), 0u)
        << "the race does not stand still on the clock of this test: its frames cannot be compared";
    EXPECT_EQ(differingPixels(lostFrame, frameAfter), 0u) << "the frame after the reset differs from the one before";
}
