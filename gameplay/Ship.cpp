#include "Ship.h"

#include "Device.h"
#include "Game.h"
#include "Level.h"
#include "Mesh.h"
#include "RepeatedStep.h"
#include "ShipType.h"
#include "SoundManager.h"
#include "TileType.h"

#include <climits>
#include <cmath>

const float steeringGain = 8.0f;
const int pointsPerUnit = 16;
const float jumpRate = 1.5f;
const float jumpHeight = 0.025f;
const float fallAcceleration = 0.003f;
const float crashSeconds = 2.0f;
const float rearBounce = -0.25f;
const float knockBackSpeed = -0.05f;
const float lateralDamping = 0.1f;
const float speedReturn = 0.01f;
const float steeringSpeed = 0.04f;

static float trackWidth()
{
    return Level::columnCount() * TileType::size();
}

// Grid cell of a coordinate, truncated toward zero; false when it lies so
// far off that it cannot be a cell (or is not a number).
static bool cellOf(float position, int& cell)
{
    float c = position / TileType::size();
    if (!(c > -1.0e6f && c < 1.0e6f))
        return false;
    cell = static_cast<int>(c);
    return true;
}

Ship::Ship(ShipType* shipType)
    : type(shipType)
{
    events.reserve(8);
    reset();
    score = 0;
    lives = 2;
}

Ship* createShip(ShipType* type)
{
    if (!type)
        return nullptr;
    return new Ship(type);
}

void Ship::reset()
{
    Game* game = Game::instance();
    x = Level::columnCount() * 0.5f * TileType::size();
    height = 0.0f;
    distance = 0.0f;
    lateralSpeed = 0.0f;
    jumpPhase = -1.0f;
    forwardSpeed = 0.0f;
    fallSpeed = 0.0f;
    started = false;
    raceClock = -3.0f * game->tickTime;
    advance = game->tileSpeed(tileNormal);
    jumpsLeft = game->level ? game->level->jumpCount : 0;
    finished = false;
    crashed = false;
    crashTime = 0.0f;
}

void Ship::onKey(int key)
{
    switch (key) {
    case Key::space:
        if (raceClock >= 0.0f && !jumping() && jumpsLeft >= 1) {
            jumpsLeft -= 1;
            jumpPhase = 0.0f;
            playSound(Game::instance()->jumpSound);
        }
        break;
    case Key::right:
        lateralSpeed = steeringSpeed;
        break;
    case Key::left:
        lateralSpeed = -steeringSpeed;
        break;
    default:
        break;
    }
}

bool Ship::isOut() const
{
    return crashed && crashTime + crashSeconds < Game::instance()->clock;
}

float Ship::halfWidth() const
{
    float ex = 0.0f, ey = 0.0f, ez = 0.0f;
    if (type && type->mesh)
        type->mesh->getExtents(ex, ey, ez);
    return ex * (type ? type->scale : 0.0f) * 0.5f;
}

float Ship::noseOffset() const
{
    float ex = 0.0f, ey = 0.0f, ez = 0.0f;
    if (type && type->mesh)
        type->mesh->getExtents(ex, ey, ez);
    return ez * (type ? type->scale : 0.0f) * 0.65f;
}

float Ship::frontOffset() const
{
    float ex = 0.0f, ey = 0.0f, ez = 0.0f;
    if (type && type->mesh)
        type->mesh->getExtents(ex, ey, ez);
    return ez * (type ? type->scale : 0.0f) * 2.5f;
}

// A coordinate's cell for the samples; cells that cannot be (so far off, or
// not a number) become the lowest or highest int, outside every grid.
static int sampleCell(float position)
{
    int cell = 0;
    if (cellOf(position, cell))
        return cell;
    return position / TileType::size() > 0.0f ? INT_MAX : INT_MIN;
}

bool Ship::Samples::operator==(const Samples& other) const
{
    return leftColumn == other.leftColumn && rightColumn == other.rightColumn
        && centreColumn == other.centreColumn && rearRow == other.rearRow && frontRow == other.frontRow
        && noseRow == other.noseRow && pastLeftEdge == other.pastLeftEdge
        && pastRightEdge == other.pastRightEdge;
}

Ship::Samples Ship::samplesAt(float lateral, float along) const
{
    const float hw = halfWidth();
    Samples samples;
    samples.leftColumn = sampleCell(lateral - hw);
    samples.rightColumn = sampleCell(lateral + hw);
    samples.centreColumn = sampleCell(lateral);
    samples.rearRow = sampleCell(along);
    samples.frontRow = sampleCell(along + frontOffset());
    samples.noseRow = sampleCell(along + noseOffset());
    samples.pastLeftEdge = lateral < hw;
    samples.pastRightEdge = lateral > trackWidth() - hw;
    return samples;
}

int Ship::tileAt(int column, int row) const
{
    Level* level = Game::instance()->level;
    return level ? level->tileAt(column, row) : static_cast<int>(tileHole);
}

int Ship::tileUnder() const
{
    const Samples samples = samplesAt(x, distance);
    if (samples.pastLeftEdge || samples.pastRightEdge)
        return tileHole;
    return tileAt(samples.centreColumn, samples.noseRow);
}

bool Ship::collide()
{
    events.clear();
    const Samples samples = samplesAt(x, distance);
    const int columns[2] = {samples.leftColumn, samples.rightColumn};

    // Rear corners: floors are fine, holes count on the ground only, a cube
    // always.
    for (int i = 0; i < 2; ++i) {
        int tile = tileAt(columns[i], samples.rearRow);
        if (tile >= tileSlow && tile <= tileVeryFast)
            continue;
        if (tile == tileHole && jumping())
            continue;
        events.push_back(CollisionEvent{i + 1, tile});
    }
    // Front corners: only cubes.
    for (int i = 0; i < 2; ++i) {
        int tile = tileAt(columns[i], samples.frontRow);
        if (tile < tileHole || tile > tileVeryFast)
            events.push_back(CollisionEvent{i + 3, tile});
    }
    // The edges of the track are walls on the ground.
    if (!jumping()) {
        if (samples.pastLeftEdge)
            events.push_back(CollisionEvent{1, tileHole});
        if (samples.pastRightEdge)
            events.push_back(CollisionEvent{2, tileHole});
    }
    return !events.empty();
}

void Ship::collisionPass(float step, float frameAdvance)
{
    const CollisionEvent event = events.front();
    if (event.corner == 1 || event.corner == 2) {
        if (!jumping() || event.tile == tileCube) {
            x -= step;
            lateralSpeed *= rearBounce;
        }
    } else if (event.corner == 3 || event.corner == 4) {
        if (event.tile == tileCube) {
            distance -= frameAdvance;
            forwardSpeed = knockBackSpeed;
        }
    }
    if (tileUnder() == tileHole && !jumping()) {
        playSound(Game::instance()->deathSound);
        crashTime = Game::instance()->clock;
        crashed = true;
    }
}

// The passes as the rules give them: resolve the first contact, look again,
// until nothing is touched, the ship has crashed, or a pass left the ship
// where it was (the next look would find the same contact again). Every pass
// that finds a front corner on a cube takes the frame's advance back again,
// until the front corners are clear of it. Each pass that goes on moves x or
// distance, always the same way within a frame and by at least one unit in
// the last place, so the passes end; but a small step (what is left of a
// released key's speed) takes one pass per step, tens of millions of them
// on the way to the track's edge. Passes::oneByOne does them so, and is kept
// as the reference for the runs.
//
// Passes::inRuns does the same passes a run at a time. What a pass does depends only on the
// first event and on whether the ship crashes, and those only on the cells
// and edges the samples look at; a pass moves one coordinate by a fixed step,
// and the samples change with it in one direction only. So while the
// samples stay what they are, every pass repeats the one before: a run ends
// where a sample changes or the step stops moving the ship, and stepWhile
// finds that place a binade at a time, halving within the last one.
//
// What that bounds: one pass is done as such per run, and a run ends each
// time a corner, the centre line or the nose enters another cell or an edge
// is reached, which the contacts allow only a few dozen times in a frame
// (26 at most in the tests' tables, sweeps and searches). A run costs at
// most some two dozen binades of x or distance plus about 25 halvings, each
// a look at the samples. The worst frames found, 22 and 38 million passes
// one by one (about 1.3 and 1.8 s in an optimised build), take under 10
// microseconds; docs/perf-race.md has the figures.
std::uint64_t Ship::collisionPasses(Passes mode, float step, float frameAdvance)
{
    std::uint64_t passes = 0;
    while (!crashed) {
        if (mode == Passes::inRuns)
            passes += skipRepeatedPasses(step, frameAdvance);
        const float oldX = x;
        const float oldDistance = distance;
        collisionPass(step, frameAdvance);
        ++passes;
        if (!collide())
            break;
        if (!crashed && x == oldX && distance == oldDistance)
            break;
    }
    return passes;
}

// A pass bounces the lateral speed; times passes in a row do it times over.
// Multiplying by a quarter reaches zero within some 140 times, and after that
// each one only flips zero's sign.
static float bouncedTimes(float speed, std::uint64_t times)
{
    for (; times > 0; --times) {
        speed *= rearBounce;
        if (speed == 0.0f) {
            if ((times - 1) % 2 != 0)
                speed = -speed;
            break;
        }
    }
    return speed;
}

std::uint64_t Ship::skipRepeatedPasses(float step, float frameAdvance)
{
    const CollisionEvent event = events.front();
    const bool sideways = (event.corner == 1 || event.corner == 2) && (!jumping() || event.tile == tileCube);
    const bool back = (event.corner == 3 || event.corner == 4) && event.tile == tileCube;
    if (!sideways && !back)
        return 0;
    // On the ground over a hole: the next pass is the last.
    if (!jumping() && tileUnder() == tileHole)
        return 0;
    const float move = sideways ? step : frameAdvance;
    if (!std::isfinite(move) || move == 0.0f || !std::isfinite(x) || !std::isfinite(distance))
        return 0;
    const Samples here = samplesAt(x, distance);
    const std::uint64_t limit = std::uint64_t(1) << 62;
    std::uint64_t repeats = 0;
    if (sideways) {
        repeats = stepWhile(x, move, limit, [&](float lateral) { return samplesAt(lateral, distance) == here; });
        lateralSpeed = bouncedTimes(lateralSpeed, repeats);
    } else {
        repeats = stepWhile(distance, move, limit, [&](float along) { return samplesAt(x, along) == here; });
        if (repeats > 0)
            forwardSpeed = knockBackSpeed;
    }
    return repeats;
}

void Ship::update()
{
    update(Passes::inRuns);
}

std::uint64_t Ship::update(Passes passes)
{
    Game* game = Game::instance();
    Level* level = game->level;
    if (!level)
        return 0;
    const float dt = game->lastElapsed;

    // Race clock; the first update after a reset does not advance it.
    if (started)
        raceClock += dt;
    started = true;

    // Falling after a crash, then back on the start line or out for good.
    if (crashed) {
        height += fallSpeed;
        fallSpeed -= dt * fallAcceleration;
        if (crashTime + crashSeconds < game->clock) {
            lives -= 1;
            if (lives >= 0)
                reset();
            else
                lives = -1;
        }
        return 0;
    }

    // Steering.
    const float step = dt * lateralSpeed * steeringGain;
    x += step;

    // Forward motion, once the countdown is over. Only what this frame
    // advanced may be taken back by a cube ahead: during the countdown
    // that is nothing, whatever advance still holds.
    float frameAdvance = 0.0f;
    if (raceClock >= 0.0f) {
        advance = level->speed * forwardSpeed * dt;
        distance += advance;
        frameAdvance = advance;
        score = static_cast<int>(std::trunc(distance)) * pointsPerUnit;
    }

    // The nose has passed the last row.
    int noseRow = 0;
    if (cellOf(distance + noseOffset(), noseRow) && noseRow >= level->rowCount()) {
        finished = true;
        return 0;
    }

    // Jump arc.
    if (jumping()) {
        jumpPhase += dt * jumpRate;
        height = std::sin(jumpPhase) * jumpHeight;
        if (height < 0.0f) {
            jumpPhase = -1.0f;
            height = 0.0f;
        }
    }

    // Collisions.
    std::uint64_t passesDone = 0;
    if (collide())
        passesDone = collisionPasses(passes, step, frameAdvance);

    // The floor under the nose sets the forward speed.
    if (!jumping()) {
        int tile = tileUnder();
        if (tile != tileHole && tile != tileCube)
            forwardSpeed = game->tileSpeed(tile);
    }

    // Damping, once a frame.
    lateralSpeed -= lateralSpeed * lateralDamping;
    forwardSpeed += (game->tileSpeed(tileNormal) - forwardSpeed) * speedReturn;
    return passesDone;
}
