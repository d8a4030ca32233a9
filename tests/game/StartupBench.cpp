// Start-up time to the first menu frame: the game over the recording device
// loads the shipped quorin.zip (archive, sound manager, content.xml, ship
// meshes, both TrueType fonts, pictures, sounds, the menu's pictures and
// music) and draws its first menu frame. Not run by ctest; figures in
// docs/perf-game.md.
#include "ContentError.h"
#include "Game.h"

#include "TestEnvironment.h"
#include "ZipFileSystem.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

static void BM_StartupToFirstMenuFrame(benchmark::State& state)
{
    for (auto _ : state) {
        ContentError::clear();
        Game* game = Game::instance();
        game->setSize(640, 480);
        game->resetRenderStates();
        game->setRecording(false);
        game->openArchive = [] { return static_cast<FileSystem*>(createZipFileSystem(QUORIN_ARCHIVE)); };
        game->onInit();
        game->onFrame(1.0f / 60.0f);
        if (!game->scene) {
            state.SkipWithError("the game did not start: see stderr");
            break;
        }
        state.PauseTiming();
        game->onShutdown();
        game->releaseAllResources();
        destroyGame();
        state.ResumeTiming();
    }
    destroyGame();
}
BENCHMARK(BM_StartupToFirstMenuFrame)->Unit(benchmark::kMillisecond)->Iterations(20);

int main(int argc, char** argv)
{
    // The real sound manager, without a sound card.
    setEnvironmentDefault("SDL_AUDIODRIVER", "dummy");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
