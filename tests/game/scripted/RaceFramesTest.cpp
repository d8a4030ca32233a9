// The same scripted race on each back-end: the whole game over the
// back-end's real device (racer_gl's OpenGL in an SDL window under Xvfb,
// racer_d3d's Direct3D 9 under Wine) with the real quorin.zip, played from
// inside the program with fixed 20 ms frames and the same keys at the same
// frames, so that each frame is the same moment of the same race on both.
// A one-player race one second after "GO!" is read back, its ship's lives
// are lost to the track, then a two-player race one second after "GO!" is
// read back. The frames must show a race (a textured track, the figures)
// and are saved in the build's shots folder (<build>/shots/<program>-race)
// with the moment they show in their header.
//
// racer_d3d's program then compares its frames with racer_gl's of the
// same moment, read from the native build's shots folder (given when
// configured, or by QUORIN_GL_RACE_FRAMES).
#include "RgbPicture.h"
#include "ScriptedRace.h"
#include "ScriptedSteps.h"

#include "Game.h"
#include "Ship.h"
#include "SkipMissing.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

const uint32_t frameMilliseconds = 20;
const float frameSeconds = static_cast<float>(frameMilliseconds) * 0.001f;

struct RaceFrame {
    const char* name;
    int players;
    RgbPicture picture;
    std::string moment;
};
RaceFrame raceFrames[2] = {{"one-player", 1, {}, {}}, {"two-player", 2, {}, {}}};

// A game that never gets where the script goes is given up after so many
// frames or seconds instead of hanging.
ScriptedRun run(20000, 1100.0);
ScriptedSteps& steps = run.steps;
LosingSteer losing;

// The frame and the state of the race it shows.
std::string momentText(int frame)
{
    std::string text = "frame " + std::to_string(frame);
    char part[120];
    for (int player = 1; player <= 2; ++player) {
        if (const Ship* ship = raceShip(player)) {
            std::snprintf(part, sizeof part, ", ship %d: race clock %.4f, %.4f across, %.4f along", player,
                          ship->raceClock, ship->x, ship->distance);
            text += part;
        }
    }
    return text;
}

void addSteps(ScriptedDevice& device)
{
    auto pressAfter = [&device](int key, int frames) {
        return [&device, key, frames](int n) {
            if (n < frames)
                return false;
            device.onKey(key);
            return true;
        };
    };
    auto readRaceFrame = [&device](RaceFrame& frame) {
        steps.add(std::string("the ") + frame.name + " race one second after GO!", [&device](int) {
            const Ship* ship = raceShip(1);
            if (!ship || ship->raceClock < 1.0f)
                return false;
            device.readBackThisFrame();
            return true;
        });
        steps.add(std::string("the ") + frame.name + " race frame read back", [&device, &frame](int) {
            frame.picture = device.frameReadBack();
            frame.moment = momentText(device.frameOfReadBack());
            return true;
        });
    };
    steps.add("the main menu", [](int n) { return atMainMenu() && n >= 30; });
    steps.add("one player", pressAfter(Key::enter, 0));
    steps.add("the ship", pressAfter(Key::enter, 20));
    readRaceFrame(raceFrames[0]);
    steps.add("the ship's lives lost to the track", [&device](int) {
        if (const Ship* ship = raceShip(1))
            losing.drive(device, *ship, 1, frameSeconds);
        return atMainMenu();
    });
    steps.add("down to two players", pressAfter(Key::down, 30));
    steps.add("two players", pressAfter(Key::enter, 20));
    steps.add("player 1's ship", pressAfter(Key::enter, 20));
    steps.add("player 2's ship moved to the next", pressAfter(Key::right, 20));
    steps.add("player 2's ship", pressAfter(Key::enter, 20));
    readRaceFrame(raceFrames[1]);
}

void play(ScriptedDevice& device, float)
{
    if (run.quitByScript())
        return;
    if (device.frames() == 1)
        addSteps(device);
    run.frame(device);
}

} // namespace

TEST(RaceFrames, TheSameScriptedRaceIsPlayedAndDrawn)
{
    ASSERT_EQ(run.play(play, frameMilliseconds), 0);
    ASSERT_FALSE(run.contentFailed()) << "quorin.zip is read from the working directory";
    ASSERT_TRUE(run.quitByScript()) << "the program ended before the script did, at " << steps.current();
    ASSERT_EQ(run.gaveUpAt(), "") << "the game did not get there";

    for (const RaceFrame& frame : raceFrames) {
        const std::string file = shotPath(std::string(QUORIN_PROGRAM) + "-race/" + frame.name + ".ppm");
        EXPECT_TRUE(frame.picture.savePpm(file, frame.moment)) << file;
        std::printf("%s: %s\n", file.c_str(), frame.moment.c_str());
        EXPECT_EQ(raceMissingFrom(frame.picture, frame.players), "") << "the " << frame.name << " race";
    }
}

#ifdef QUORIN_GL_RACE_FRAMES
// racer_d3d against racer_gl, each frame of the same moment, region by
// region as the mean colours of 8 x 8 blocks. Where the back-ends draw
// otherwise by design (tests/scene/SceneChecks.cpp) the regions and the
// limit allow for it:
// - racer_gl's frames come from its two-texture-unit path (a driver with
//   swap control, as on a player's machine): on Xvfb, without swap control,
//   racer_gl keeps to one unit and draws the tiles without their detail
//   texture, which Direct3D always blends in.
// - The top bar is left out: racer_d3d blends it multiplicatively as
//   destination x (1 - source), racer_gl adds the source to that.
// - Direct3D 9 puts pixel and texel centres half a pixel from OpenGL's:
//   the rows near the horizon, a few pixels high, and the far tiles, whose
//   textures are drawn small without mipmaps, differ pixel by pixel (by 30
//   and more where a row's edge moves), so the track is compared near the
//   ship, as blocks. The ship's sphere map reads the other half of its
//   picture on Direct3D: the regions of the track keep clear of the ship.
// The back-ends' frames differ there by under 4; a tile, text or panel
// drawn in another colour or blend, or without its texture, by tens.
TEST(RaceFrames, Direct3dDrawsTheRaceAsOpenGl)
{
    const char* given = std::getenv("QUORIN_GL_RACE_FRAMES");
    const std::string folder = hostPath(given && *given ? given : QUORIN_GL_RACE_FRAMES);
    const int block = 8;
    const double limit = 6.0;
    for (const RaceFrame& frame : raceFrames) {
        SCOPED_TRACE(frame.name);
        ASSERT_FALSE(frame.picture.empty()) << "the race was not played";
        const std::string file = folder + "/" + frame.name + ".ppm";
        RgbPicture gl;
        std::string glMoment;
        if (!gl.loadPpm(file, &glMoment))
            QUORIN_SKIP_MISSING("no racer_gl race frame at " << file
                                                             << " (the native build's racer_gl_race_frames makes it)");
        const std::string& moment = frame.moment;
        ASSERT_EQ(moment.substr(0, moment.find(',')), glMoment.substr(0, glMoment.find(',')))
            << "racer_gl's frame is of another frame of the race";
        EXPECT_EQ(moment, glMoment) << "the race is not at the same moment on both";
        for (int player = 1; player <= frame.players; ++player) {
            const RaceViewRegions regions = raceViewRegions(frame.players, player);
            for (const RgbPicture::Region* region :
                 {&regions.trackByTheShip, &regions.trackBeside, &regions.figures, &regions.belowTopBar}) {
                const double difference = frame.picture.meanBlockDifference(gl, *region, block);
                std::printf("%s, player %d, %s: %.2f from racer_gl's (limit %.1f)\n", frame.name, player,
                            region->name, difference, limit);
                EXPECT_LE(difference, limit)
                    << "player " << player << ", " << region->name << ": racer_d3d draws otherwise than racer_gl";
            }
        }
    }
}
#endif
