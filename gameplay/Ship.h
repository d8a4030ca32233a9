#ifndef QUORIN_SHIP_H
#define QUORIN_SHIP_H

#include "CollisionEvent.h"

#include <cstdint>
#include <vector>

class ShipType;

// One player's ship during a game: position on the track, speeds, jump and
// crash state, race clock, jumps, score and lives. The motion (update,
// collide, tileUnder) reads Game::level, clock, lastElapsed and tileSpeed
// and draws nothing, so a ship can be stepped headless. A Ship is a plain
// value: copying it snapshots its whole state.
class Ship
{
public:
    explicit Ship(ShipType* type);

    // Back on the start line: countdown again, full jumps; score and lives
    // are kept. Needs Game::level.
    void reset();
    // 32 Space jumps (after "GO!", when not jumping and jumps are left),
    // 58 Right and 59 Left set the lateral speed. Other keys are ignored.
    void onKey(int key);
    // More than two seconds since the crash.
    bool isOut() const;

    // One frame of motion, Game::lastElapsed long.
    void update();
    // How a frame's collision passes are worked out: a run of identical
    // passes at a time (what update does), or one pass at a time, as the
    // rules state them. Both come to the same ship, bit for bit.
    enum class Passes { inRuns, oneByOne };
    // One frame as update, its passes worked out as asked; answers how many
    // collision passes the frame held. For tests and benchmarks.
    std::uint64_t update(Passes passes);
    // Fills events with the contacts of the box's corners and the track
    // edges; true when there is any.
    bool collide();
    // The tile id under the nose; 0 over a track edge.
    int tileUnder() const;

    // Box measures from the type's mesh extents and scale.
    float halfWidth() const;
    float noseOffset() const;
    float frontOffset() const;

    std::vector<CollisionEvent> events;
    ShipType* type;
    float x;
    float height;
    float distance;
    float lateralSpeed;
    float jumpPhase;
    float forwardSpeed;
    float fallSpeed;
    bool started;
    float raceClock;
    float advance;
    int jumpsLeft;
    int score;
    int lives;
    bool finished;
    bool crashed;
    float crashTime;

    bool jumping() const { return jumpPhase != -1.0f; }

private:
    // The grid cells and edges that collide and tileUnder look at, for the
    // ship at (lateral, along): equal samples give equal answers.
    struct Samples
    {
        int leftColumn, rightColumn, centreColumn;
        int rearRow, frontRow, noseRow;
        bool pastLeftEdge, pastRightEdge;
        bool operator==(const Samples& other) const;
    };
    Samples samplesAt(float lateral, float along) const;
    int tileAt(int column, int row) const;

    // One collision pass on the first event: the push back and the crash
    // test.
    void collisionPass(float step, float frameAdvance);
    // Every pass of a frame, one by one or a run of identical ones at a time;
    // answers how many.
    std::uint64_t collisionPasses(Passes mode, float step, float frameAdvance);
    // Passes from here on that would repeat the next one exactly, done in
    // one go; answers how many.
    std::uint64_t skipRepeatedPasses(float step, float frameAdvance);
};

// A new ship of the type, or null for a null type (no second player).
Ship* createShip(ShipType* type);

#endif
