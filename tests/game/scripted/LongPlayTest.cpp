// A long play in one process: the whole game over the back-end's real
// device (racer_gl's OpenGL in an SDL window under Xvfb, racer_d3d's
// Direct3D 9 under Wine) with the real quorin.zip, played from inside the
// program with fixed 20 ms frames through eleven races in a row: one- and
// two-player races whose ships lose their three lives each to the track,
// back to the main menu every time, and the first level won once by both
// players with keys a search over the real physics finds for each ship at
// the start of the race (tests/race/TrackSearch.h), so that the next race
// follows on the next level with the same ships. Each
// race is checked to be drawn (a frame after "GO!": a textured track and
// the figures in every view; saved as <build>/shots/<program>-long-play/
// race-NN.ppm), and the memory the process holds, taken in the main menu
// after each race that ends there, must not grow from the second race to
// the tenth by more than a few percent, nor the heap blocks it holds by
// more than a driver's cache may: a game that keeps something of every
// race fails, as one that crashes in a later race does.
#include "ProcessMemory.h"
#include "RgbPicture.h"
#include "ScriptedRace.h"
#include "ScriptedSteps.h"
#include "TrackSearch.h"

#include "Game.h"
#include "Scene.h"
#include "Ship.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
// AddressSanitizer keeps freed blocks aside to catch their use, 256 MB of
// them by default: the memory held would grow race after race with what
// the game rightly frees. Here freed blocks are reused at once, as by the
// allocator of a Release build, so that the figure counts what the game
// keeps; every other check of the sanitizer stays.
extern "C" const char* __asan_default_options()
{
    return "quarantine_size_mb=0";
}
#endif

namespace {

const uint32_t frameMilliseconds = 20;
const float frameSeconds = static_cast<float>(frameMilliseconds) * 0.001f;
// The memory after the last races may exceed that after the first ones by
// this share: what the allocators and the drivers may still settle (under a
// megabyte in a Release build, some five under AddressSanitizer or Wine).
const double memoryGrowthAllowed = 0.03;
// The heap blocks held then, which are the same objects after every race
// of a kind: what a driver's caches may still add. A race that keeps its
// level (a quarter of a megabyte) goes past it in two races.
const size_t heapGrowthAllowed = 256 * 1024;

struct Race {
    int players;
    bool win;
    // Filled as played.
    std::string drawn = "not played";
    size_t memoryAfter = 0;
    size_t heapAfter = 0;
};
// The first level won by both players, then the races on the second
// level, two players and one in turn. Races 2 and 10 alike: two players on
// the second level, lost, in the menu after it.
std::vector<Race> races = {
    {2, true},  {2, false}, {1, false}, {2, false}, {1, false}, {2, false},
    {1, false}, {2, false}, {1, false}, {2, false}, {1, false},
};

// A game that never gets where the script goes is given up after so many
// frames or seconds instead of hanging.
ScriptedRun run(60000, 1700.0);
ScriptedSteps& steps = run.steps;

// Races begun so far, counted as race scenes come on the screen.
int racesBegun = 0;
Scene* raceScene = nullptr;
bool levelWon = false;
std::string searchFailure;

void countRaces()
{
    Game* game = Game::instance();
    const bool racing = game->scene && game->scene->getId() == sceneRace;
    if (racing && game->scene != raceScene)
        ++racesBegun;
    raceScene = racing ? game->scene : nullptr;
}

// The keys of a path TrackSearch found for a player's ship, given as it
// gave them: the steering key every frame of its interval, the jump on the
// interval's first frame; as the game takes them for that player
// (Key::leftControl, Key::letterX and Key::letterV for the second).
struct WinningKeys {
    int player = 1;
    TrackSearchOptions options;
    std::string inputs;
    int frame = 0;

    void search(const Ship& ship)
    {
        options.frameTime = frameSeconds;
        const TrackSearchResult found = searchTrack(ship, options);
        inputs = found.inputs;
        if (!found.won && searchFailure.empty())
            searchFailure = "no keys win level " + std::to_string(Game::instance()->levelIndex) + " for player " +
                            std::to_string(player) + " (the search got to row " +
                            std::to_string(found.furthestRow) + ")";
    }

    void give(ScriptedDevice& device)
    {
        const size_t round = static_cast<size_t>(frame / options.interval);
        const bool first = frame % options.interval == 0;
        ++frame;
        if (round >= inputs.size())
            return;
        const char input = inputs[round];
        const bool two = player == 2;
        if (first && (input == 'J' || input == 'L' || input == 'R'))
            device.onKey(two ? Key::leftControl : Key::space);
        if (input == 'l' || input == 'L')
            device.onKey(two ? Key::letterX : Key::left);
        if (input == 'r' || input == 'R')
            device.onKey(two ? Key::letterV : Key::right);
    }
};

void addRace(ScriptedDevice& device, int number)
{
    Race& race = races[number - 1];
    auto pressAfter = [&device](int key, int frames) {
        return [&device, key, frames](int n) {
            if (n < frames)
                return false;
            device.onKey(key);
            return true;
        };
    };
    const std::string name = "race " + std::to_string(number) + ": ";
    const bool fromMenu = number == 1 || !races[number - 2].win;
    if (fromMenu) {
        steps.add(name + "the main menu", [](int n) { return atMainMenu() && n >= 30; });
        if (race.players == 2)
            steps.add(name + "down to two players", pressAfter(Key::down, 0));
        steps.add(name + "the players", pressAfter(Key::enter, 20));
        steps.add(name + "player 1's ship", pressAfter(Key::enter, 20));
        if (race.players == 2) {
            steps.add(name + "player 2's ship moved to the next", pressAfter(Key::right, 20));
            steps.add(name + "player 2's ship", pressAfter(Key::enter, 20));
        }
    }
    steps.add(name + "its start", [number](int) { return racesBegun == number; });

    // A frame after "GO!", read back, then checked.
    auto keys = std::make_shared<std::vector<WinningKeys>>(2);
    keys->at(1).player = 2;
    auto losing = std::make_shared<std::vector<LosingSteer>>(2);
    auto drive = [&device, &race, keys, losing]() {
        for (int player = 1; player <= race.players; ++player) {
            if (const Ship* ship = raceShip(player)) {
                if (race.win)
                    keys->at(player - 1).give(device);
                else
                    losing->at(player - 1).drive(device, *ship, player, frameSeconds);
            }
        }
    };
    steps.add(name + "a frame after GO!", [&device, &race, keys, drive](int n) {
        const Ship* one = raceShip(1);
        // The search starts from the ship as it is, and its first keys are
        // given now, before the frame that updates the ship.
        if (race.win && n == 0) {
            for (int player = 1; player <= race.players; ++player)
                if (const Ship* ship = raceShip(player))
                    keys->at(player - 1).search(*ship);
        }
        drive();
        if (!one || one->raceClock < 0.5f)
            return false;
        device.readBackThisFrame();
        return true;
    });
    steps.add(name + "its frame read back", [&device, &race, number, drive](int) {
        drive();
        race.drawn = raceMissingFrom(device.frameReadBack(), race.players);
        char file[64];
        std::snprintf(file, sizeof file, "-long-play/race-%02d.ppm", number);
        device.frameReadBack().savePpm(shotPath(std::string(QUORIN_PROGRAM) + file),
                                       "race " + std::to_string(number));
        return true;
    });
    if (race.win) {
        steps.add(name + "the level won", [&race, number, drive](int) {
            drive();
            if (racesBegun <= number)
                return false;
            levelWon = Game::instance()->levelIndex == 1 && raceShip(race.players) &&
                       raceShip(race.players)->score > 0;
            return true;
        });
        return;
    }
    steps.add(name + "its lives lost", [drive](int) {
        drive();
        return atMainMenu();
    });
    steps.add(name + "the memory in the menu after it", [&race](int n) {
        if (n < 30)
            return false;
        race.memoryAfter = residentBytes();
        race.heapAfter = heapBytesInUse();
        return true;
    });
}

void play(ScriptedDevice& device, float)
{
    if (run.quitByScript())
        return;
    if (device.frames() == 1) {
        for (int number = 1; number <= static_cast<int>(races.size()); ++number)
            addRace(device, number);
    }
    countRaces();
    run.frame(device);
}

} // namespace

TEST(LongPlay, ElevenRacesInOneProcessEachDrawnWithoutGrowingMemory)
{
    ASSERT_EQ(run.play(play, frameMilliseconds), 0);
    ASSERT_FALSE(run.contentFailed()) << "quorin.zip is read from the working directory";
    ASSERT_TRUE(run.quitByScript()) << "the program ended before the script did, at " << steps.current();
    EXPECT_EQ(searchFailure, "");
    ASSERT_EQ(run.gaveUpAt(), "") << "the game did not get there";

    EXPECT_EQ(racesBegun, static_cast<int>(races.size()));
    EXPECT_TRUE(levelWon) << "race 1 won its level, and race 2 was on the next with the same ships";
    for (size_t i = 0; i < races.size(); ++i) {
        const Race& race = races[i];
        std::printf("race %zu: %d player(s), %s", i + 1, race.players, race.win ? "won" : "lost");
        if (race.memoryAfter)
            std::printf(", in the menu after it %.1f MB resident, %.3f MB of heap blocks", race.memoryAfter / 1048576.0,
                        race.heapAfter / 1048576.0);
        std::printf("\n");
        EXPECT_EQ(race.drawn, "") << "race " << i + 1 << " is not drawn";
    }
    // Races 2 to 4 against races 8 to 10, each three a two-player race, a
    // one-player race and a two-player race: what the later ones hold at
    // the least against what the earlier ones held at the most. A race of
    // one kind after another of the other settles the allocators and the
    // driver otherwise, by some megabytes on a busy machine; memory kept by
    // every race grows race after race, past both.
    size_t earlyMemory = 0, lateMemory = SIZE_MAX, earlyHeap = 0, lateHeap = SIZE_MAX;
    for (int i = 1; i <= 3; ++i) {
        earlyMemory = std::max(earlyMemory, races[i].memoryAfter);
        earlyHeap = std::max(earlyHeap, races[i].heapAfter);
    }
    for (int i = 7; i <= 9; ++i) {
        lateMemory = std::min(lateMemory, races[i].memoryAfter);
        lateHeap = std::min(lateHeap, races[i].heapAfter);
    }
    const double early = static_cast<double>(earlyMemory);
    const double late = static_cast<double>(lateMemory);
    ASSERT_GT(early, 0.0) << "the memory of the process cannot be read";
    EXPECT_LE(late, early * (1.0 + memoryGrowthAllowed))
        << "the process holds " << (late - early) / 1048576.0
        << " MB more after races 8 to 10 (the least) than after races 2 to 4 (the most)";
    ASSERT_GT(earlyHeap, 0u) << "the heap cannot be read";
    EXPECT_LE(lateHeap, earlyHeap + heapGrowthAllowed)
        << "the program holds " << (double(lateHeap) - double(earlyHeap)) / 1048576.0
        << " MB more of heap blocks after races 8 to 10 (the least) than after races 2 to 4 (the most)";
}
