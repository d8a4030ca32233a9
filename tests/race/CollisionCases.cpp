#include "CollisionCases.h"

#include "RaceFixture.h"
#include "Ship.h"

float fadedSpeed(int frames)
{
    float speed = 0.04f;
    for (int i = 0; i < frames; ++i)
        speed -= speed * 0.1f;
    return speed;
}

void placeShip(Ship& ship, const CollisionCase& c)
{
    ship.started = true;
    ship.x = c.x;
    ship.lateralSpeed = c.lateralSpeed;
    ship.distance = c.distance;
    ship.forwardSpeed = c.forwardSpeed;
    ship.jumpPhase = c.jumpPhase;
    ship.raceClock = c.raceClock;
}

namespace {
const float frame = 1.0f / 60.0f;
const std::string gap = rows(10) + rows(5, "000000000") + rows(20);
const std::string leftCubes = rows(5) + rows(10, "CXXXXXXXX") + rows(20);
} // namespace

const std::vector<CollisionCase>& collisionCases()
{
    // The jump arc ends within the frame: the ship lands.
    const float landing = 3.13f;
    const float inTheAir = 0.5f;
    const float ground = -1.0f;
    // gap: five rows of holes across the whole track from 1.0 to 1.5; landing at
    // 1.4967 puts the rear corners over the last of them and the nose on
    // the floor beyond. Nothing but the track's edge ends the contact.
    const std::string partialHole = rows(20, "XXX0XXXXX");
    const std::string cubeAhead = rows(5) + "XXXXCXXXX\n" + rows(20);
    static const std::vector<CollisionCase> cases = {
        {"gap landing, step 80 frames after the key", gap, 1.0f, frame, 0.45f, fadedSpeed(80), 1.48f, 1.0f, landing,
         5.0f, 100000, 1000000},
        {"gap landing, step 100 frames after the key", gap, 1.0f, frame, 0.45f, fadedSpeed(100), 1.48f, 1.0f,
         landing, 5.0f, 1000000, 10000000},
        {"gap landing, step 100 frames after the left key", gap, 1.0f, frame, 0.45f, -fadedSpeed(100), 1.48f, 1.0f,
         landing, 5.0f, 1000000, 10000000},
        {"gap landing, step 115 frames after the key, from x 0.3", gap, 1.0f, frame, 0.3f, fadedSpeed(115), 1.48f,
         1.0f, landing, 5.0f, 1000000, 100000000},
        {"gap landing, step below half a unit at x 0.45", gap, 1.0f, frame, 0.45f, fadedSpeed(130), 1.48f, 1.0f,
         landing, 5.0f, 1, 1},
        {"gap landing, the same step at x 0.1", gap, 1.0f, frame, 0.1f, fadedSpeed(130), 1.48f, 1.0f, landing, 5.0f,
         1000000, 100000000},
        {"rear corner pushed off a partial hole", partialHole, 1.0f, frame, 0.41f, -fadedSpeed(90), 0.5f, 1.0f,
         ground, 5.0f, 10000, 100000},
        {"rear corner pushed onto the partial hole, and crashes", partialHole, 1.0f, frame, 0.41f, fadedSpeed(90),
         0.5f, 1.0f, ground, 5.0f, 10000, 100000},
        {"front corner into the side of a cube", rows(5) + "XXXXXCXXX\n" + rows(20), 0.125f, 1.0f / 64.0f, 0.476f,
         0.04f, 230.0f / 512.0f, 1.0f, ground, 5.0f, 27, 27},
        {"negative advance in the air after a knock-back", cubeAhead, 1.0f, frame, 0.45f, fadedSpeed(60), 0.41f,
         -0.05f, inTheAir, 5.0f, 50, 10000000},
        {"countdown, front corner on a cube: no advance to take back", rows(1) + "XXXXCXXXX\n" + rows(20), 1.0f,
         frame, 0.45f, 0.0f, 0.01f, 1.0f, ground, -1.0f, 1, 1},
        {"countdown, rear corner over a hole, steering fading", partialHole, 1.0f, frame, 0.41f, -fadedSpeed(70),
         0.0f, 0.0f, ground, -1.0f, 100, 100000},
        {"zero-length frame, rear corner over a hole", partialHole, 1.0f, 0.0f, 0.41f, 0.04f, 0.5f, 1.0f, ground,
         5.0f, 1, 1},
        {"in the air over cubes near the left edge, pushed right", leftCubes, 1.0f, frame, 0.05f, -fadedSpeed(100),
         0.8f, 1.0f, inTheAir, 5.0f, 100000, 10000000},
        {"in the air over cubes near the left edge, pushed across zero", leftCubes, 1.0f, frame, 0.05f,
         fadedSpeed(100), 0.8f, 1.0f, inTheAir, 5.0f, 100000, 100000000},
        {"in the air over cubes near the left edge, step 115 frames after the key", leftCubes, 1.0f, frame, 0.05f,
         fadedSpeed(115), 0.8f, 1.0f, inTheAir, 5.0f, 1000000, 100000000},
    };
    return cases;
}

const std::vector<CollisionCase>& worstCollisionCases()
{
    static const std::vector<CollisionCase> cases = {
        {"gap landing, step 121 frames after the key", gap, 1.0f, frame, 0.45f, fadedSpeed(121), 1.48f, 1.0f, 3.13f,
         5.0f, 10000000, 100000000},
        {"in the air over cubes near the left edge, step 134 frames after the key", leftCubes, 1.0f, frame, 0.05f,
         fadedSpeed(134), 0.8f, 1.0f, 0.5f, 5.0f, 10000000, 100000000},
    };
    return cases;
}
