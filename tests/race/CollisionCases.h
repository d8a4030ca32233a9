#ifndef QUORIN_TEST_COLLISION_CASES_H
#define QUORIN_TEST_COLLISION_CASES_H

#include <cstdint>
#include <string>
#include <vector>

class Ship;

// One frame of ship physics from a given state, on the race fixture's test
// ship (half width 0.02, nose 0.026, front corners 0.1 ahead): the frames
// whose collision passes come in long runs, and a few that end at once.
struct CollisionCase
{
    const char* name;
    std::string track;
    float levelSpeed;
    float frame;
    float x;
    float lateralSpeed;
    float distance;
    float forwardSpeed;
    float jumpPhase;
    float raceClock;
    // How many passes the frame holds, one by one.
    std::uint64_t fewestPasses;
    std::uint64_t mostPasses;
};

const std::vector<CollisionCase>& collisionCases();
// Frames of the same kinds with the most passes found: the gap landing 121
// frames after the key, the cubes near the left edge 134 frames after it.
// Tens of millions of passes one by one; benchmarked, too slow for a test
// under the sanitizers.
const std::vector<CollisionCase>& worstCollisionCases();

// The ship in the case's state, past its first frame.
void placeShip(Ship& ship, const CollisionCase& c);

// What is left of a steering key's speed the given number of frames after it
// was let go: the damping of every frame, in float.
float fadedSpeed(int frames);

#endif
