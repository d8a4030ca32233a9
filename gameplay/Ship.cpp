#include "Ship.h"

#include "Device.h"
#include "Game.h"
#include "Level.h"
#include "Mesh.h"
#include "ShipType.h"
#include "SoundManager.h"
#include "TileType.h"

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

// A frame's collision passes end when the ship is clear, has crashed, or a
// pass left it where it was. A contact resolved by a small steering step
// (what is left of a released key's speed) takes one pass per step:
// thousands, or hundreds of thousands once the step is down to a float step
// or two (about 10 ms of passes in an optimised build). Each pass moves x
// one way by at least one float step, and there are about 5e7 floats
// between the track's edges, beyond which the ship falls. The cap sits
// above that: a backstop, not a rule of the game.
const int maxCollisionPasses = 1 << 27;

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

int Ship::tileAtPoint(float lateral, float along) const
{
    Level* level = Game::instance()->level;
    int column = 0, row = 0;
    if (!level || !cellOf(lateral, column) || !cellOf(along, row))
        return tileHole;
    return level->tileAt(column, row);
}

int Ship::tileUnder() const
{
    float hw = halfWidth();
    if (x < hw || x > trackWidth() - hw)
        return tileHole;
    return tileAtPoint(x, distance + noseOffset());
}

bool Ship::collide()
{
    events.clear();
    float hw = halfWidth();
    float front = frontOffset();

    // Rear corners: floors are fine, holes count on the ground only, a cube
    // always.
    const float rear[2] = {x - hw, x + hw};
    for (int i = 0; i < 2; ++i) {
        int tile = tileAtPoint(rear[i], distance);
        if (tile >= tileSlow && tile <= tileVeryFast)
            continue;
        if (tile == tileHole && jumping())
            continue;
        events.push_back(CollisionEvent{i + 1, tile});
    }
    // Front corners: only cubes.
    for (int i = 0; i < 2; ++i) {
        int tile = tileAtPoint(rear[i], distance + front);
        if (tile < tileHole || tile > tileVeryFast)
            events.push_back(CollisionEvent{i + 3, tile});
    }
    // The edges of the track are walls on the ground.
    if (!jumping()) {
        if (x < hw)
            events.push_back(CollisionEvent{1, tileHole});
        if (x > trackWidth() - hw)
            events.push_back(CollisionEvent{2, tileHole});
    }
    return !events.empty();
}

void Ship::update()
{
    Game* game = Game::instance();
    Level* level = game->level;
    if (!level)
        return;
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
        return;
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
        return;
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

    // Collisions: resolve the first contact, look again, until nothing is
    // touched, the ship has crashed, or a pass left the ship where it was
    // (the next look would find the same contact again). Every pass that
    // finds a front corner on a cube takes the frame's advance back again,
    // until the front corners are clear of it.
    if (collide()) {
        for (int pass = 0; pass < maxCollisionPasses; ++pass) {
            if (crashed)
                break;
            const CollisionEvent event = events.front();
            const float oldX = x;
            const float oldDistance = distance;
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
                playSound(game->deathSound);
                crashTime = game->clock;
                crashed = true;
            }
            if (!collide())
                break;
            if (!crashed && x == oldX && distance == oldDistance)
                break;
        }
    }

    // The floor under the nose sets the forward speed.
    if (!jumping()) {
        int tile = tileUnder();
        if (tile != tileHole && tile != tileCube)
            forwardSpeed = game->tileSpeed(tile);
    }

    // Damping, once a frame.
    lateralSpeed -= lateralSpeed * lateralDamping;
    forwardSpeed += (game->tileSpeed(tileNormal) - forwardSpeed) * speedReturn;
}
