// Ship::update works a frame's collision passes out a run at a time; the
// passes one by one, as the rules give them, say what it must come to. Each
// case is one frame from a given state, run both ways on copies of the same
// ship and compared bit for bit.
#include "CollisionCases.h"
#include "RaceFixture.h"

#include "Level.h"
#include "RecordingSoundManager.h"
#include "RepeatedStep.h"
#include "Ship.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

namespace {

std::uint32_t bitsOf(float value)
{
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// Every field of the two ships whose bits differ, by name.
std::string differences(const Ship& a, const Ship& b)
{
    std::string found;
    auto real = [&](const char* name, float u, float v) {
        if (bitsOf(u) != bitsOf(v)) {
            char line[160];
            std::snprintf(line, sizeof line, " %s %.9g (0x%08x) against %.9g (0x%08x);", name, u, bitsOf(u), v,
                          bitsOf(v));
            found += line;
        }
    };
    auto whole = [&](const char* name, long long u, long long v) {
        if (u != v)
            found += std::string(" ") + name + " " + std::to_string(u) + " against " + std::to_string(v) + ";";
    };
    real("x", a.x, b.x);
    real("height", a.height, b.height);
    real("distance", a.distance, b.distance);
    real("lateralSpeed", a.lateralSpeed, b.lateralSpeed);
    real("jumpPhase", a.jumpPhase, b.jumpPhase);
    real("forwardSpeed", a.forwardSpeed, b.forwardSpeed);
    real("fallSpeed", a.fallSpeed, b.fallSpeed);
    real("raceClock", a.raceClock, b.raceClock);
    real("advance", a.advance, b.advance);
    real("crashTime", a.crashTime, b.crashTime);
    whole("started", a.started, b.started);
    whole("jumpsLeft", a.jumpsLeft, b.jumpsLeft);
    whole("score", a.score, b.score);
    whole("lives", a.lives, b.lives);
    whole("finished", a.finished, b.finished);
    whole("crashed", a.crashed, b.crashed);
    bool sameEvents = a.events.size() == b.events.size();
    for (std::size_t i = 0; sameEvents && i < a.events.size(); ++i)
        sameEvents = a.events[i].corner == b.events[i].corner && a.events[i].tile == b.events[i].tile;
    if (!sameEvents)
        found += " events;";
    return found;
}

class CollisionPasses : public RaceFixture {
protected:
    struct Outcome {
        std::uint64_t passes;
        int deathSounds;
    };

    Outcome run(Ship& ship, Ship::Passes passes, float frame)
    {
        game->clock = 100.0f;
        game->lastElapsed = frame;
        const int before = sound->plays("death");
        const std::uint64_t count = ship.update(passes);
        return Outcome{count, sound->plays("death") - before};
    }

    // One frame from the ship's state both ways; the passes it held.
    std::uint64_t expectSameFrame(const Ship& start, float frame, const std::string& what)
    {
        Ship oneByOne = start;
        Ship inRuns = start;
        const Outcome literal = run(oneByOne, Ship::Passes::oneByOne, frame);
        const Outcome runs = run(inRuns, Ship::Passes::inRuns, frame);
        EXPECT_EQ(differences(oneByOne, inRuns), "") << what;
        EXPECT_EQ(runs.passes, literal.passes) << what;
        EXPECT_EQ(runs.deathSounds, literal.deathSounds) << what;
        return literal.passes;
    }

    Ship shipFor(const CollisionCase& c)
    {
        useTrack(c.track, c.levelSpeed);
        Ship* ship = newShip();
        placeShip(*ship, c);
        return *ship;
    }
};

} // namespace

// The situations that take many passes, or none to speak of: how many each
// holds tells that the state is the one named.
TEST_F(CollisionPasses, TableOfFramesComesOutAsPassByPass)
{
    int compared = 0;
    for (const CollisionCase& c : collisionCases()) {
        SCOPED_TRACE(c.name);
        const Ship start = shipFor(c);
        const std::uint64_t passes = expectSameFrame(start, c.frame, c.name);
        EXPECT_GE(passes, c.fewestPasses);
        EXPECT_LE(passes, c.mostPasses);
        std::printf("%-60s %12llu passes\n", c.name, static_cast<unsigned long long>(passes));
        ++compared;
    }
    std::printf("%d table frames identical both ways\n", compared);
}

namespace {

// Raw numbers from the generator, mapped here so that every standard library
// draws the same cases.
class Draw {
public:
    explicit Draw(std::uint32_t seed) : engine_(seed) {}
    std::uint32_t below(std::uint32_t n) { return engine_() % n; }
    bool chance(std::uint32_t percent) { return below(100) < percent; }
    // -1 or 1.
    float sign() { return below(2) ? 1.0f : -1.0f; }
    // A float a whole number of units in the last place away from value.
    float ulpsAway(float value, int units)
    {
        while (units > 0) {
            value = std::nextafter(value, HUGE_VALF);
            --units;
        }
        while (units < 0) {
            value = std::nextafter(value, -HUGE_VALF);
            ++units;
        }
        return value;
    }
    // Units in the last place of value.
    static float unitAt(float value) { return std::nextafter(std::fabs(value), HUGE_VALF) - std::fabs(value); }

private:
    std::mt19937 engine_;
};

} // namespace

// Random frames around the places where the passes' rounding changes: the
// steps and advances a few units in the last place of the position, or
// ties between two units, the positions just short of a cell or edge that a
// corner, the centre line or the nose samples, or of a power of two, or
// anywhere. The track mixes floors, partial holes, full-width gaps and cubes.
TEST_F(CollisionPasses, RandomFramesComeOutAsPassByPass)
{
    const std::string track = rows(2) + "XX0XXXCXX\n" + "C00XXXX0C\n" + rows(1) + "000000000\n"
                              + "XXXCXXXXX\n" + "0XXXXXX0X\n" + "CCXXXCXXX\n" + "000000000\n" + rows(1)
                              + "XXX0000XX\n" + rows(3, "CXXXXXXXC") + "XX00000XX\n" + rows(4);
    useTrack(track);
    Ship* ship = newShip();
    const float hw = ship->halfWidth();
    const float laterals[] = {0.0f,       hw,         0.1f - hw,  0.1f + hw,  0.2f - hw,  0.2f,
                              0.3f + hw,  0.4f - hw,  0.4f,       0.5f + hw,  0.6f - hw,  0.7f,
                              0.8f + hw,  0.9f - hw,  0.9f,       0.03125f,   0.0625f,    0.125f,
                              0.25f,      0.5f,       -0.1f + hw, -0.1f - hw, 0.1f,       0.45f};
    const float alongs[] = {0.2f, 0.3f, 0.4f, 0.5f, 0.6f, 0.7f, 0.8f, 0.9f, 1.0f, 1.1f, 1.2f, 1.3f, 1.5f, 1.8f, 2.0f};
    Draw draw(20261210u);
    // Frames of more passes than this are not worked out one by one here
    // (the table holds those): the sweep stays quick under the sanitizers.
    const std::uint64_t budget = 50000;
    const int cases = 20000;
    std::uint64_t passesInAll = 0, most = 0;
    int withRuns = 0, overBudget = 0;
    for (int i = 0; i < cases;) {
        Ship start = *ship;
        start.started = true;
        start.raceClock = draw.chance(10) ? -1.0f : 1.0f;
        start.jumpPhase = draw.chance(50) ? -1.0f : (draw.chance(50) ? 0.5f : 3.13f);
        const float frame = draw.chance(80) ? 1.0f / 64.0f : (draw.chance(50) ? 1.0f / 60.0f : 0.0f);

        // Sideways: up to 2000 units from the place, a step of 0 to 39
        // quarter units there, mostly toward it, so that the corner, centre
        // line or edge reaches it.
        float lateral = laterals[draw.below(sizeof laterals / sizeof laterals[0])];
        if (draw.chance(10))
            lateral = static_cast<float>(draw.below(1000000)) * 1.0e-6f - 0.05f;
        const float unit = Draw::unitAt(lateral == 0.0f ? 0.1f : lateral);
        const int lateralOffset = static_cast<int>(draw.below(4000)) - 2000;
        // Mostly toward the place: x -= step.
        const float toward = (lateralOffset > 0) == draw.chance(75) ? 1.0f : -1.0f;
        const float step = toward * unit * static_cast<float>(draw.below(40)) * 0.25f;
        start.x = draw.ulpsAway(lateral, lateralOffset);
        // step = frame x lateralSpeed x 8, exact with a 1/64 s frame.
        start.lateralSpeed =
            draw.chance(90) ? step * 8.0f : draw.sign() * static_cast<float>(draw.below(1000)) * 1.0e-4f;

        // Along: the same about a row boundary of the rear corners, the
        // front corners or the nose, with the advance the passes take back.
        const float along = alongs[draw.below(sizeof alongs / sizeof alongs[0])]
                            - (draw.chance(50) ? 0.0f : (draw.chance(50) ? ship->frontOffset() : ship->noseOffset()));
        const int alongOffset = static_cast<int>(draw.below(4000)) - 2000;
        start.distance = draw.ulpsAway(along, alongOffset);
        // The passes take the advance back: distance -= advance.
        const float back = (alongOffset > 0) == draw.chance(75) ? 1.0f : -1.0f;
        const float advance = back * Draw::unitAt(along) * static_cast<float>(draw.below(40)) * 0.25f;
        // advance = level speed 1 x forwardSpeed x 1/64 s.
        start.forwardSpeed =
            draw.chance(90) ? advance * 64.0f : draw.sign() * static_cast<float>(draw.below(1000)) * 1.0e-3f;
        // The frame's own motion happens before the passes: take it out.
        if (frame == 1.0f / 64.0f && start.raceClock >= 0.0f) {
            start.x -= start.lateralSpeed / 8.0f;
            start.distance -= start.forwardSpeed / 64.0f;
        }

        Ship probe = start;
        if (run(probe, Ship::Passes::inRuns, frame).passes > budget) {
            ++overBudget;
            continue;
        }
        char what[200];
        std::snprintf(what, sizeof what,
                      "case %d: x %.9g, lateralSpeed %.9g, distance %.9g, forwardSpeed %.9g, jump %g, frame %g", i, start.x, start.lateralSpeed, start.distance, start.forwardSpeed, start.jumpPhase, frame);
        const std::uint64_t passes = expectSameFrame(start, frame, what);
        if (HasFailure())
            break;
        passesInAll += passes;
        most = passes > most ? passes : most;
        withRuns += passes > 2 ? 1 : 0;
        ++i;
    }
    std::printf("%d random frames identical both ways; %d took more than two passes, %llu passes in all, at most "
                "%llu; %d frames drawn over %llu passes left out\n",
                cases, withRuns, static_cast<unsigned long long>(passesInAll), static_cast<unsigned long long>(most),
                overBudget, static_cast<unsigned long long>(budget));
    EXPECT_GT(withRuns, cases / 20) << "the sweep reaches runs of passes";
}

// The rounding itself: stepWhile against the subtractions done one by one,
// for steps from below half a unit to many units, ties between two units,
// values that cross powers of two and zero, and a limit set by a threshold.
TEST(RepeatedStep, TakesTheStepsOneByOneSubtractionsWould)
{
    Draw draw(16u);
    int checked = 0;
    for (int i = 0; i < 4000; ++i) {
        const float places[] = {0.5f, 0.25f, 0.0625f, 1.0f, 0.0f, 1.0e-38f, 0.45f, 3.0e38f, 1.0e-30f};
        const float place = places[draw.below(sizeof places / sizeof places[0])] * draw.sign();
        const float start = draw.ulpsAway(place, static_cast<int>(draw.below(600)) - 300);
        const float unit = Draw::unitAt(place == 0.0f ? 1.0e-44f : place);
        float step = draw.sign() * unit * static_cast<float>(draw.below(64)) * 0.125f;
        if (draw.chance(5))
            step = draw.sign() * unit * static_cast<float>(draw.below(100000));
        const std::uint64_t count = draw.below(3000);
        // Half the time a threshold stops the walk on its way.
        const bool bounded = draw.chance(50);
        const float threshold = draw.ulpsAway(start, (static_cast<int>(draw.below(400)) - 200) * (step > 0 ? -1 : 1));
        auto holds = [&](float v) { return !bounded || (step > 0 ? v >= threshold : v <= threshold); };

        float literal = start;
        std::uint64_t taken = 0;
        while (taken < count) {
            const float next = literal - step;
            if (next == literal || !holds(next))
                break;
            literal = next;
            ++taken;
        }
        float walked = start;
        const std::uint64_t steps = stepWhile(walked, step, count, holds);
        ASSERT_EQ(bitsOf(walked), bitsOf(literal)) << "from " << start << " by " << step << ", " << count << " steps";
        ASSERT_EQ(steps, taken) << "from " << start << " by " << step;
        ++checked;
    }
    std::printf("%d walks identical\n", checked);
}
