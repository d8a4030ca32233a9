// CPU time of one race frame in the game and the engine: a two-player race
// on the first shipped level (40 rows of track per view), drawn against the
// recording device with its call log off. Also counts the heap allocations
// made per frame, which should be none.
#include "AllocationCounter.h"
#include "Game.h"
#include "Level.h"
#include "RecordingSoundManager.h"
#include "Scene.h"
#include "Ship.h"
#include "ZipFileSystem.h"

#include <benchmark/benchmark.h>

#include <cstdio>

static void press(Game* game, int key)
{
    game->onFrame(0.25f);
    game->onKey(key);
    game->onFrame(1.0f / 60.0f);
}

static void raceFrames(benchmark::State& state)
{
    Game* game = Game::instance();
    game->setSize(640, 480);
    game->resetRenderStates();
    game->openArchive = [] { return static_cast<FileSystem*>(createZipFileSystem(QUORIN_ARCHIVE)); };
    game->openSoundManager = [] { return static_cast<SoundManager*>(new RecordingSoundManager()); };
    game->onInit();
    if (!game->scene) {
        state.SkipWithError("the content archive does not load");
        destroyGame();
        return;
    }
    // Two players from the main menu: the second item, then a ship each.
    press(game, Key::down);
    press(game, Key::enter);
    press(game, Key::enter);
    press(game, Key::right);
    press(game, Key::enter);
    game->onFrame(1.0f / 60.0f);
    if (!game->ship1 || !game->ship2 || game->level->rowCount() < 80) {
        state.SkipWithError("no two-player race on a long enough track");
    } else {
        game->setRecording(false);
        Ship* ships[2] = {game->ship1, game->ship2};
        long frames = 0;
        long allocated = 0;
        long silentFrames = 0;
        RecordingSoundManager* sound = static_cast<RecordingSoundManager*>(game->soundManager);
        for (auto _ : state) {
            // Back to the start line well before the end of the track, so
            // that every frame draws 40 rows ahead in both views.
            for (Ship* ship : ships) {
                if (ship->distance > (game->level->rowCount() - 45) * 0.1f || ship->crashed) {
                    state.PauseTiming();
                    ship->reset();
                    ship->raceClock = 0.0f;
                    state.ResumeTiming();
                }
                ship->onKey(frames % 240 < 120 ? Key::left : Key::right);
            }
            // What the device does around every frame.
            game->renderStates().clearPending();
            game->setTextureStage(0);
            const long before = allocationCount();
            const std::size_t soundCalls = sound->calls().size();
            game->onFrame(1.0f / 60.0f);
            // The test sound manager's own log allocates when a sound
            // plays; the game's frames are counted without it.
            if (sound->calls().size() == soundCalls) {
                allocated += allocationCount() - before;
                ++silentFrames;
            }
            ++frames;
        }
        state.counters["allocations/frame"] = silentFrames ? static_cast<double>(allocated) / silentFrames : 0.0;
    }
    game->onShutdown();
    game->releaseAllResources();
    destroyGame();
}
BENCHMARK(raceFrames)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
