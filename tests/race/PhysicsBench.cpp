// CPU time of one frame of ship physics (Ship::update) in the frames of the
// collision table and the worst frames found (CollisionCases.cpp), with the
// collision passes worked out one by one, as the rules give them, and a run
// at a time, as the game does. The worst frames are too slow for the
// differential test under the sanitizers, so the two ways are compared here
// first. A separate program, not run by ctest; figures in docs/perf-race.md.
#include "CollisionCases.h"
#include "RaceFixture.h"

#include "Game.h"
#include "Ship.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The race fixture's game, test ship and recording sound manager, outside
// a test.
class PhysicsWorld : public RaceFixture {
public:
    void start() { SetUp(); }
    void stop() { TearDown(); }
    void TestBody() override {}
    Ship* shipOn(const CollisionCase& c)
    {
        useTrack(c.track, c.levelSpeed);
        Ship* ship = newShip();
        placeShip(*ship, c);
        return ship;
    }
    Game* theGame() { return game; }
};

PhysicsWorld* world = nullptr;

void physicsFrame(benchmark::State& state, const CollisionCase* c, Ship::Passes passes)
{
    const Ship start = *world->shipOn(*c);
    Game* game = world->theGame();
    std::uint64_t count = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Ship ship = start;
        game->clock = 100.0f;
        game->lastElapsed = c->frame;
        state.ResumeTiming();
        count = ship.update(passes);
        benchmark::DoNotOptimize(ship.x);
    }
    state.counters["passes"] = static_cast<double>(count);
}

bool sameBits(float a, float b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Both ways from the case's state: false, with a message, when they differ.
bool sameBothWays(const CollisionCase& c)
{
    const Ship start = *world->shipOn(c);
    Ship ships[2] = {start, start};
    std::uint64_t passes[2] = {0, 0};
    const Ship::Passes ways[2] = {Ship::Passes::oneByOne, Ship::Passes::inRuns};
    for (int i = 0; i < 2; ++i) {
        world->theGame()->clock = 100.0f;
        world->theGame()->lastElapsed = c.frame;
        passes[i] = ships[i].update(ways[i]);
    }
    const Ship& a = ships[0];
    const Ship& b = ships[1];
    const bool same = passes[0] == passes[1] && sameBits(a.x, b.x) && sameBits(a.distance, b.distance)
                      && sameBits(a.lateralSpeed, b.lateralSpeed) && sameBits(a.forwardSpeed, b.forwardSpeed)
                      && a.crashed == b.crashed && sameBits(a.crashTime, b.crashTime);
    if (!same)
        std::fprintf(stderr, "physics_bench: \"%s\" differs: %llu passes one by one, %llu in runs\n", c.name,
                     static_cast<unsigned long long>(passes[0]), static_cast<unsigned long long>(passes[1]));
    return same;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<const CollisionCase*> cases;
    for (const CollisionCase& c : collisionCases())
        cases.push_back(&c);
    for (const CollisionCase& c : worstCollisionCases())
        cases.push_back(&c);
    for (const CollisionCase* pointer : cases) {
        const CollisionCase& c = *pointer;
        benchmark::RegisterBenchmark((std::string("one by one/") + c.name).c_str(), physicsFrame, pointer,
                                     Ship::Passes::oneByOne)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((std::string("in runs/") + c.name).c_str(), physicsFrame, pointer,
                                     Ship::Passes::inRuns)
            ->Unit(benchmark::kMicrosecond);
    }
    benchmark::Initialize(&argc, argv);
    PhysicsWorld theWorld;
    world = &theWorld;
    theWorld.start();
    for (const CollisionCase& c : worstCollisionCases()) {
        if (!sameBothWays(c)) {
            theWorld.stop();
            return 1;
        }
    }
    benchmark::RunSpecifiedBenchmarks();
    theWorld.stop();
    benchmark::Shutdown();
    return 0;
}
