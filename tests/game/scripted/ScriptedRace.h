#ifndef QUORIN_SCRIPTEDRACE_H
#define QUORIN_SCRIPTEDRACE_H

// What the scripted race programs of both back-ends share: compiled into
// each over its own game, whose device (QUORIN_DEVICE_CLASS) is that
// back-end's scripted device (ScriptedGlDevice, ScriptedD3dDevice).
#include "Game.h"
#include "RgbPicture.h"
#include "ScriptedSteps.h"

#include <chrono>
#include <cstdint>

#include <string>

class Ship;

using ScriptedDevice = QUORIN_DEVICE_CLASS;

// A scripted game played through its steps: the script calls frame() once
// a frame, which takes the steps and quits the game once they are done, or
// gives up and quits after so many frames or seconds, so that a game that
// never gets where the script goes ends instead of hanging.
class ScriptedRun {
public:
    ScriptedRun(int giveUpAfterFrames, double giveUpAfterSeconds)
        : giveUpAfterFrames_(giveUpAfterFrames), giveUpAfterSeconds_(giveUpAfterSeconds)
    {
    }

    // Plays the whole game over the scripted device, SCRIPT called once a
    // frame of FRAMEMILLISECONDS; the game's exit status. The game is
    // destroyed afterwards.
    int play(ScriptedDevice::Script script, uint32_t frameMilliseconds);
    void frame(ScriptedDevice& device);

    ScriptedSteps steps;
    // Whether the game ended as the script asked (once done or given up).
    bool quitByScript() const { return quitByScript_; }
    // Where the run gave up, empty when it did not.
    const std::string& gaveUpAt() const { return gaveUpAt_; }
    bool contentFailed() const { return contentFailed_; }

private:
    int giveUpAfterFrames_;
    double giveUpAfterSeconds_;
    std::chrono::steady_clock::time_point startedAt_;
    bool quitByScript_ = false;
    bool contentFailed_ = false;
    std::string gaveUpAt_;
};

// The player's ship (1 or 2) while a race is on the screen; null otherwise.
Ship* raceShip(int player);
// The main menu is on the screen.
bool atMainMenu();

// Of the keys that steer the player's ship (none, left, right), the one
// that, held from now on with nothing else pressed, has the ship crash
// soonest, found by stepping a copy of it frameSeconds at a time with the
// real physics (the game's clock is put back). 0: none. The answer is the
// key as the game takes it for that player (Key::letterX and Key::letterV
// steer the second player).
int quickestCrashKey(const Ship& ship, int player, float frameSeconds);

// Steers a player's ship after "GO!" with its quickest crash key, found
// again for each life: called once a frame, it loses the ship's lives as
// soon as the track allows.
class LosingSteer {
public:
    void drive(ScriptedDevice& device, const Ship& ship, int player, float frameSeconds);

private:
    int livesSeen_ = -100;
    int key_ = 0;
};

// Where a race view shows what: the track by the ship (ahead of it with
// one player; under it in a two-player view, whose half-height window
// draws the rows ahead a few pixels high), the track beside the ship
// (left of the widest ship), the panel of figures at the view's foot, and
// the view as a whole below the top bar. One player: the window; two: its
// upper or lower half (player 1 or 2).
struct RaceViewRegions {
    RgbPicture::Region trackByTheShip;
    RgbPicture::Region trackBeside;
    RgbPicture::Region figures;
    RgbPicture::Region belowTopBar;
};
RaceViewRegions raceViewRegions(int players, int player);

// Empty when the picture shows a race in each view (a textured track, the
// head-up display's white figures), else what is missing.
std::string raceMissingFrom(const RgbPicture& picture, int players);

// A path of the build machine as this program opens it (under Wine, on
// drive Z:).
std::string hostPath(const std::string& path);

// <shots folder of this build>/<name>: where the scripted programs leave
// their frames.
std::string shotPath(const std::string& name);

#endif
