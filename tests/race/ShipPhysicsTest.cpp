#include "RaceFixture.h"

#include "Device.h"
#include "Level.h"
#include "RecordingSoundManager.h"
#include "Ship.h"

#include <cmath>

static const float dt = 1.0f / 60.0f;

TEST_F(RaceFixture, NewShipStandsOnTheStartLine)
{
    game->tickTime = 0.5f;
    useTrack(rows(10), 1.0f, 4);
    Ship* ship = newShip();
    EXPECT_FLOAT_EQ(ship->x, 0.45f);
    EXPECT_EQ(ship->distance, 0.0f);
    EXPECT_EQ(ship->lives, 2);
    EXPECT_EQ(ship->score, 0);
    EXPECT_EQ(ship->jumpsLeft, 4);
    EXPECT_FLOAT_EQ(ship->raceClock, -1.5f);
    EXPECT_FLOAT_EQ(ship->advance, 1.0f);
    EXPECT_FALSE(ship->jumping());
    EXPECT_EQ(createShip(nullptr), nullptr);
}

// Each floor keeps the ship at its speed, less the per-frame drift toward
// the normal speed that follows it.
TEST_F(RaceFixture, FloorSetsTheForwardSpeedAndTheScoreCountsWholeUnits)
{
    struct Case {
        char tile;
        float perSecond;
        int scoreAfter144Frames;
    } cases[] = {{'S', 0.505f, 16}, {'X', 1.0f, 32}, {'F', 1.495f, 48}, {'f', 1.99f, 64}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tile);
        useTrack(rows(80, std::string(9, c.tile)), 1.0f, 0);
        Ship* ship = newShip();
        steps(ship, 61);
        // The first frame after the reset starts from a standstill.
        EXPECT_NEAR(ship->distance, 60 * dt * c.perSecond, 1e-4);
        steps(ship, 83);
        EXPECT_NEAR(ship->distance, 143 * dt * c.perSecond, 1e-3);
        EXPECT_EQ(ship->score, c.scoreAfter144Frames);
        EXPECT_FALSE(ship->crashed);
    }
}

TEST_F(RaceFixture, LevelSpeedScalesTheAdvance)
{
    useTrack(rows(80), 2.0f, 0);
    Ship* ship = newShip();
    steps(ship, 61);
    EXPECT_NEAR(ship->distance, 2.0f, 1e-4);
}

TEST_F(RaceFixture, CountdownHoldsTheShipWhileTheFloorSetsItsSpeed)
{
    game->tickTime = 1.0f;
    useTrack(rows(80, "FFFFFFFFF"));
    Ship* ship = newShip();
    for (int frame = 0; frame < 180; ++frame) {
        step(ship, {Key::left, Key::space});
        ASSERT_EQ(ship->distance, 0.0f) << frame;
    }
    EXPECT_LT(ship->raceClock, 0.0f);
    EXPECT_NEAR(ship->forwardSpeed, 1.495f, 1e-5);
    EXPECT_LT(ship->x, 0.45f) << "steering works during the countdown";
    EXPECT_FALSE(ship->jumping()) << "no jump before GO";
    EXPECT_EQ(sound->plays("jump"), 0);
    steps(ship, 3);
    EXPECT_GE(ship->raceClock, 0.0f);
    EXPECT_GT(ship->distance, 0.0f);
}

TEST_F(RaceFixture, ShipFinishesWhenItsNosePassesTheLastRow)
{
    useTrack(rows(3));
    Ship* ship = newShip();
    float before = 0.0f;
    int frames = 0;
    while (!ship->finished && frames < 1000) {
        before = ship->distance;
        step(ship);
        ++frames;
    }
    ASSERT_TRUE(ship->finished);
    EXPECT_LT((before + ship->noseOffset()) / 0.1f, 3.0f);
    EXPECT_GE((ship->distance + ship->noseOffset()) / 0.1f, 3.0f);
    // Past the end there is only empty space, but a finished ship no longer
    // collides: it coasts on, with its clock running.
    const float clock = ship->raceClock;
    steps(ship, 240);
    EXPECT_FALSE(ship->crashed);
    EXPECT_GT(ship->distance, 0.4f);
    EXPECT_GT(ship->raceClock, clock);
    EXPECT_EQ(sound->plays("death"), 0);
}

TEST_F(RaceFixture, HoleCrashesOnceThenRespawnsUntilTheLivesRunOut)
{
    game->tickTime = 1.0f;
    useTrack(rows(5) + rows(3, "000000000") + rows(20));
    Ship* ship = newShip();

    for (int life = 2; life >= 0; --life) {
        SCOPED_TRACE(life);
        int frames = 0;
        while (!ship->crashed && frames < 2000) {
            step(ship);
            ++frames;
        }
        ASSERT_TRUE(ship->crashed);
        // The rear corners reached the hole: the nose alone does not crash.
        EXPECT_GE(ship->distance, 0.5f);
        EXPECT_LT(ship->distance, 0.5f + 2 * dt);
        EXPECT_EQ(sound->plays("death"), 3 - life);
        const float crashedAt = game->clock;
        EXPECT_EQ(ship->crashTime, crashedAt);

        // Two seconds of fall, faster every frame.
        float height = ship->height;
        int fallFrames = 0;
        while (game->clock + dt <= crashedAt + 2.0f) {
            step(ship);
            ++fallFrames;
            ASSERT_TRUE(ship->crashed);
            ASSERT_FALSE(ship->isOut());
            ASSERT_LE(ship->height, height);
            height = ship->height;
        }
        EXPECT_NEAR(ship->fallSpeed, -fallFrames * dt * 0.003f, 1e-6);
        EXPECT_EQ(sound->plays("death"), 3 - life) << "one death sound per crash";
        steps(ship, 2);
        if (life > 0) {
            EXPECT_FALSE(ship->crashed);
            EXPECT_EQ(ship->lives, life - 1);
            EXPECT_FLOAT_EQ(ship->x, 0.45f);
            EXPECT_LT(ship->distance, 0.01f);
            EXPECT_LT(ship->raceClock, -2.9f) << "the countdown runs again";
            EXPECT_EQ(ship->jumpsLeft, 3);
        }
    }
    EXPECT_TRUE(ship->crashed);
    EXPECT_TRUE(ship->isOut());
    EXPECT_EQ(ship->lives, -1);
    steps(ship, 120);
    EXPECT_EQ(ship->lives, -1) << "out for good";
    EXPECT_TRUE(ship->isOut());
    EXPECT_EQ(sound->plays("death"), 3);
}

// A jump started on the floor before the holes lands beyond them; one that
// lands over holes crashes once the arc is over, never in the air.
TEST_F(RaceFixture, JumpClearsHolesWhileItLasts)
{
    for (int holeRows : {4, 40}) {
        SCOPED_TRACE(holeRows);
        const bool clears = holeRows == 4;
        sound->clear();
        useTrack(rows(10) + rows(holeRows, "000000000") + rows(40), 1.0f, 1);
        Ship* ship = newShip();
        steps(ship, 50);
        for (int frame = 0; frame < 600 && !ship->finished && !ship->crashed; ++frame)
            step(ship, {Key::space});
        EXPECT_FALSE(ship->jumping());
        EXPECT_EQ(ship->jumpsLeft, 0);
        EXPECT_EQ(sound->plays("jump"), 1) << "the held key takes one jump";
        EXPECT_EQ(ship->finished, clears);
        EXPECT_EQ(ship->crashed, !clears);
        if (!clears) {
            EXPECT_GT(ship->distance, 2.0f) << "crashed where the arc ended";
        }
    }
}

TEST_F(RaceFixture, JumpKeyRules)
{
    useTrack(rows(200), 1.0f, 1);
    Ship* ship = newShip();
    step(ship, {Key::space});
    EXPECT_TRUE(ship->jumping());
    steps(ship, 30, {Key::space});
    EXPECT_EQ(ship->jumpsLeft, 0);
    steps(ship, 200);
    ASSERT_FALSE(ship->jumping());
    step(ship, {Key::space});
    EXPECT_FALSE(ship->jumping()) << "no jumps left";
    EXPECT_EQ(sound->plays("jump"), 1);

    // Both steering keys in one frame: the last one wins.
    ship->onKey(Key::left);
    ship->onKey(Key::right);
    EXPECT_FLOAT_EQ(ship->lateralSpeed, 0.04f);
    ship->onKey(Key::letterA);
    EXPECT_FLOAT_EQ(ship->lateralSpeed, 0.04f);
}

TEST_F(RaceFixture, CubeAheadBlocksUntilTheShipSteersAround)
{
    useTrack(rows(3) + "XXXXCXXXX" + rows(20));
    Ship* ship = newShip();
    for (int frame = 0; frame < 180; ++frame) {
        step(ship);
        ASSERT_LT(ship->distance + ship->frontOffset(), 0.3f) << frame;
    }
    EXPECT_FALSE(ship->crashed);
    EXPECT_GT(ship->distance, 0.15f);
    steps(ship, 20, {Key::right});
    int frames = 0;
    while (!ship->finished && !ship->crashed && frames++ < 1000)
        step(ship);
    EXPECT_TRUE(ship->finished);
}

// A rear corner against a cube is pushed back and bounces, on the ground
// and in the air alike.
TEST_F(RaceFixture, RearCornerBouncesOffACube)
{
    for (bool inTheAir : {false, true}) {
        SCOPED_TRACE(inTheAir ? "in the air" : "on the ground");
        useTrack(rows(100, "XXXXXCXXX"));
        Ship* ship = newShip();
        if (inTheAir)
            step(ship, {Key::space});
        bool bounced = false;
        for (int frame = 0; frame < 60; ++frame) {
            step(ship, {Key::right});
            if (inTheAir) {
                ASSERT_TRUE(ship->jumping());
            }
            ASSERT_LT(ship->x + ship->halfWidth(), 0.5f) << frame;
            if (ship->lateralSpeed < 0.0f)
                bounced = true;
        }
        EXPECT_TRUE(bounced);
        EXPECT_GT(ship->x + ship->halfWidth(), 0.49f);
        EXPECT_FALSE(ship->crashed);
    }
}

TEST_F(RaceFixture, TrackEdgesAreWallsOnTheGround)
{
    game->tickTime = 3.0f;
    for (int key : {Key::left, Key::right}) {
        SCOPED_TRACE(key);
        useTrack(rows(100));
        Ship* ship = newShip();
        for (int frame = 0; frame < 180; ++frame) {
            step(ship, {key});
            ASSERT_GE(ship->x, ship->halfWidth()) << frame;
            ASSERT_LE(ship->x, 0.9f - ship->halfWidth()) << frame;
        }
        EXPECT_NEAR(ship->x, key == Key::left ? ship->halfWidth() : 0.9f - ship->halfWidth(), 0.006f);
        EXPECT_FALSE(ship->crashed);
    }
}

// Contacts that a pass cannot move the ship out of: the frame still ends,
// and nothing is moved by more than this frame moved it.
TEST_F(RaceFixture, CollisionPassesEndWhenNothingMoves)
{
    struct Case {
        const char* name;
        std::string track;
        float x;
        bool jumping;
        float distance;
        float tickTime;
        float frame;
    } cases[] = {
        {"rear corner over a hole, zero-length frame", "XXX0XXXXX" + rows(20), 0.41f, false, 0.0f, 0.0f, 0.0f},
        {"rear corner on a cube in the air, zero-length frame", "XXXCXXXXX" + rows(20), 0.41f, true, 0.0f, 0.0f,
         0.0f},
        {"front corner on a cube during the countdown", rows(1) + "XXXXCXXXX" + rows(20), 0.45f, false, 0.01f, 1.0f,
         dt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        game->tickTime = c.tickTime;
        useTrack(c.track);
        Ship* ship = newShip();
        ship->x = c.x;
        ship->distance = c.distance;
        if (c.jumping)
            ship->jumpPhase = 0.5f;
        step(ship, {}, c.frame);
        EXPECT_TRUE(ship->collide());
        step(ship, {}, c.frame);
        EXPECT_FLOAT_EQ(ship->x, c.x);
        EXPECT_EQ(ship->distance, c.distance) << "a stale advance is not taken back";
        EXPECT_FALSE(ship->crashed);
    }
}

// Contacts that take many passes to resolve, each pass moving the ship by
// this frame's steering step or advance until the contact is gone. The
// numbers are exact in float: a 1/64 s frame, steps and advances that are
// powers of two, positions on their grid. The test ship is 0.02 wide either
// side of x, its nose 0.026 and its front corners 0.1 ahead of distance.
TEST_F(RaceFixture, CollisionPassesGoOnUntilTheContactIsResolved)
{
    const float frame = 1.0f / 64.0f;
    const float unit = 1.0f / 131072.0f;   // 2^-17
    struct Case {
        const char* name;
        std::string track;
        float levelSpeed;
        float x;
        float lateralSpeed;
        float distance;
        float forwardSpeed;
        float expectedX;
        float expectedDistance;
        bool crashes;
    } cases[] = {
        // Step 2^-17 to the right puts x at 53741 units, the rear-left
        // corner over the hole in column 3. Each pass takes the step back,
        // moving left, until the nose is over the hole: 53741 - k < 52428.8
        // first holds for k = 1313, and the ship crashes at 52428 units.
        {"rear corner pushed onto the hole it hangs over", rows(20, "XXX0XXXXX"), 1.0f, 53740 * unit,
         1.0f / 16384.0f, 0.0f, 0.0f, 52428 * unit, 0.0f, true},
        // Step 2^-17 to the left: 53739 units. Each pass moves right until
        // the rear-left corner leaves column 3: x - 0.02 >= 0.4 first holds
        // at 55051 units (1312 passes); the ship stays on the track.
        {"rear corner pushed off a hole", rows(20, "XXX0XXXXX"), 1.0f, 53740 * unit, -1.0f / 16384.0f, 0.0f, 0.0f,
         55051 * unit, 0.0f, false},
        // Steering right at 0.04 brings the front-right corner into the
        // side of the cube in column 5, row 5; the advance, 0.125 x 1 x
        // 1/64 = 2^-9, puts distance at 231 x 2^-9. Each pass takes the
        // advance back until the front corners are behind row 5: distance
        // + 0.1 < 0.5 first holds at 204 x 2^-9 (27 passes). x keeps the
        // steering; the floor under the nose gives the speed back.
        {"front corner beside a cube reached sideways", rows(5) + "XXXXXCXXX\n" + rows(20), 0.125f, 0.476f, 0.04f,
         230.0f / 512.0f, 1.0f, 0.476f + frame * 0.04f * 8.0f, 204.0f / 512.0f, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sound->clear();
        useTrack(c.track, c.levelSpeed);
        Ship* ship = newShip();
        ship->x = c.x;
        ship->lateralSpeed = c.lateralSpeed;
        ship->distance = c.distance;
        ship->forwardSpeed = c.forwardSpeed;
        step(ship, {}, frame);
        EXPECT_EQ(ship->x, c.expectedX);
        EXPECT_EQ(ship->distance, c.expectedDistance);
        EXPECT_EQ(ship->crashed, c.crashes);
        EXPECT_EQ(sound->plays("death"), c.crashes ? 1 : 0);
        if (!c.crashes) {
            EXPECT_FALSE(ship->collide()) << "the frame ends clear of the contact";
            EXPECT_EQ(ship->forwardSpeed, 1.0f) << "the normal floor under the nose";
        }
    }
}

TEST_F(RaceFixture, CollideReportsCornersAndEdges)
{
    useTrack("0XXXXXXCX" + rows(1, "XXXXXXXCX") + rows(10));
    Ship* ship = newShip();
    struct Case {
        float x;
        bool jumping;
        std::vector<std::pair<int, int>> events;
    } cases[] = {
        {0.45f, false, {}},
        {0.09f, false, {{1, 0}}},
        {0.09f, true, {}},
        {0.69f, false, {{2, 5}, {4, 5}}},
        {0.69f, true, {{2, 5}, {4, 5}}},
        {0.01f, false, {{1, 0}, {2, 0}, {1, 0}}},
        {0.89f, false, {{2, 0}, {2, 0}}},
        // So far off that no cell lies there: empty space, not a bad read.
        {1e20f, false, {{1, 0}, {2, 0}, {2, 0}}},
        {-1e20f, true, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.x);
        ship->x = c.x;
        ship->jumpPhase = c.jumping ? 0.5f : -1.0f;
        EXPECT_EQ(ship->collide(), !c.events.empty());
        std::vector<std::pair<int, int>> found;
        for (const CollisionEvent& e : ship->events)
            found.push_back({e.corner, e.tile});
        EXPECT_EQ(found, c.events);
    }
    ship->x = 0.01f;
    EXPECT_EQ(ship->tileUnder(), 0) << "hanging over the edge";
    ship->x = 0.45f;
    EXPECT_EQ(ship->tileUnder(), 2);
}
