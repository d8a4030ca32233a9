#include "ScriptedRace.h"

#include "Game.h"
#include "MenuHostScene.h"
#include "Scene.h"
#include "Ship.h"

#include <cstdio>

Ship* raceShip(int player)
{
    Game* game = Game::instance();
    if (!game->scene || game->scene->getId() != sceneRace)
        return nullptr;
    return player == 1 ? game->ship1 : game->ship2;
}

bool atMainMenu()
{
    Game* game = Game::instance();
    if (!game->scene || game->scene->getId() != sceneMenuHost)
        return false;
    Scene* sub = static_cast<MenuHostScene*>(game->scene)->subScene;
    return sub && sub->getId() == sceneMainMenu;
}

int quickestCrashKey(const Ship& ship, int player, float frameSeconds)
{
    Game* game = Game::instance();
    const float savedClock = game->clock;
    const float savedElapsed = game->lastElapsed;
    const int steers[3] = {0, Key::left, Key::right};
    const int asTaken[2][3] = {{0, Key::left, Key::right}, {0, Key::letterX, Key::letterV}};
    int best = 0;
    int bestFrames = 1 << 30;
    const int longest = static_cast<int>(120.0f / frameSeconds);
    for (int s = 0; s < 3; ++s) {
        Ship copy = ship;
        game->clock = savedClock;
        for (int frame = 0; frame < longest && frame < bestFrames; ++frame) {
            if (steers[s] && copy.raceClock >= 0.0f)
                copy.onKey(steers[s]);
            game->clock += frameSeconds;
            game->lastElapsed = frameSeconds;
            copy.update();
            if (copy.crashed) {
                best = asTaken[player == 2][s];
                bestFrames = frame;
                break;
            }
            if (copy.finished)
                break;
        }
    }
    game->clock = savedClock;
    game->lastElapsed = savedElapsed;
    return best;
}

RaceViewRegions raceViewRegions(int players, int player)
{
    // The 640 x 480 window, as the views lay it out.
    if (players == 1)
        return {{"the track ahead of the ship", 120, 300, 520, 356},
                {"the track beside the ship", 0, 360, 220, 436},
                {"the figures", 0, 440, 640, 480},
                {"the view below the top bar", 0, 40, 640, 480}};
    const int top = player == 2 ? 240 : 0;
    return {{"the track under the ship", 120, top + 190, 520, top + 210},
            {"the track beside the ship", 0, top + 175, 200, top + 210},
            {"the figures", 0, top + 212, 640, top + 240},
            {"the view below the top bar", 0, top + 20, 640, top + 240}};
}

std::string raceMissingFrom(const RgbPicture& picture, int players)
{
    if (picture.width != 640 || picture.height != 480)
        return "a 640 x 480 frame (read " + std::to_string(picture.width) + " x " +
               std::to_string(picture.height) + ")";
    std::string missing;
    char measure[160];
    for (int player = 1; player <= players; ++player) {
        const RaceViewRegions regions = raceViewRegions(players, player);
        const double white = picture.whiteShare(regions.figures);
        for (const RgbPicture::Region* track : {&regions.trackByTheShip, &regions.trackBeside}) {
            const double deviation = picture.brightnessDeviation(*track);
            if (deviation < 12.0) {
                std::snprintf(measure, sizeof measure,
                              "player %d: %s, textured (brightness deviation %.1f, want >= 12); ", player,
                              track->name, deviation);
                missing += measure;
            }
        }
        if (white < 0.01) {
            std::snprintf(measure, sizeof measure, "player %d: white figures (%.4f of the panel, want >= 0.01); ",
                          player, white);
            missing += measure;
        }
    }
    return missing;
}

void LosingSteer::drive(ScriptedDevice& device, const Ship& ship, int player, float frameSeconds)
{
    if (ship.lives != livesSeen_) {
        livesSeen_ = ship.lives;
        key_ = quickestCrashKey(ship, player, frameSeconds);
    }
    if (key_ && !ship.crashed && ship.raceClock >= 0.0f)
        device.onKey(key_);
}

std::string hostPath(const std::string& path)
{
#ifdef _WIN32
    // Wine's drive Z: is the root of the file system the build lies in.
    if (!path.empty() && path[0] == '/')
        return "Z:" + path;
#endif
    return path;
}

std::string shotPath(const std::string& name)
{
    return hostPath(std::string(QUORIN_SHOTS_DIR) + "/" + name);
}

int ScriptedRun::play(ScriptedDevice::Script script, uint32_t frameMilliseconds)
{
    startedAt_ = std::chrono::steady_clock::now();
    ScriptedDevice::setScript(script);
    ScriptedDevice::setFixedFrameTime(frameMilliseconds);
    Game* game = Game::instance();
    const int result = game->run(640, 480, false, "Quorin", false, true);
    contentFailed_ = game->contentFailed();
    destroyGame();
    return result;
}

void ScriptedRun::frame(ScriptedDevice& device)
{
    steps.frame();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - startedAt_).count();
    if (!steps.finished() && (device.frames() > giveUpAfterFrames_ || seconds > giveUpAfterSeconds_))
        gaveUpAt_ = steps.current() + " (frame " + std::to_string(device.frames()) + ", " +
                    std::to_string(static_cast<int>(seconds)) + " s)";
    if (steps.finished() || !gaveUpAt_.empty()) {
        quitByScript_ = true;
        device.requestQuit();
    }
}
