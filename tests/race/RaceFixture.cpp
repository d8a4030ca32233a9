#include "RaceFixture.h"

#include "DataFile.h"
#include "Level.h"
#include "MemoryFileSystem.h"
#include "Mesh.h"
#include "RecordingSoundManager.h"
#include "Ship.h"
#include "ShipType.h"
#include "SoundHandle.h"
#include "VertexBuffer.h"

Mesh* boxMesh(float w, float h, float l)
{
    Mesh* mesh = new Mesh();
    VertexBuffer* vertices = createVertexBuffer(false, 2);
    Vertex* v = vertices->lock();
    v[0].x = -w / 2;
    v[0].y = 0.0f;
    v[0].z = -l / 2;
    v[1].x = w / 2;
    v[1].y = h;
    v[1].z = l / 2;
    vertices->unlock();
    mesh->setVertexBuffer(vertices);
    return mesh;
}

std::string rows(int n, const std::string& row)
{
    std::string track;
    for (int i = 0; i < n; ++i)
        track += row + "\n";
    return track;
}

static SoundHandle* namedSound(const char* name)
{
    DataFile file(name, name, 1);
    return loadSound(&file);
}

void RaceFixture::SetUp()
{
    game = Game::instance();
    files = new MemoryFileSystem();
    FileSystem::setInstance(files);
    sound = new RecordingSoundManager();
    SoundManager::setInstance(sound);
    game->tileSpeeds[0] = 0.5f;
    game->tileSpeeds[1] = 1.0f;
    game->tileSpeeds[2] = 1.5f;
    game->tileSpeeds[3] = 2.0f;
    game->tickTime = 0.0f;
    game->clock = 100.0f;
    game->deathSound = namedSound("death");
    game->jumpSound = namedSound("jump");
    game->goSound = namedSound("go");
    game->clickValidateSound = namedSound("click");
    shipType = new ShipType("test", "none.msh", 1.0f, 0.5f, 0.5f, 0.5f);
    shipType->mesh = boxMesh(0.04f, 0.01f, 0.04f);
}

void RaceFixture::TearDown()
{
    for (Ship* ship : ships)
        delete ship;
    ships.clear();
    delete game->level;
    game->level = nullptr;
    delete shipType;
    delete game->deathSound;
    delete game->jumpSound;
    delete game->goSound;
    delete game->clickValidateSound;
    game->deathSound = game->jumpSound = game->goSound = game->clickValidateSound = nullptr;
    destroyGame();
    SoundManager::setInstance(nullptr);
    delete sound;
    FileSystem::setInstance(nullptr);
    delete files;
}

void RaceFixture::useTrack(const std::string& track, float speed, int jumps)
{
    delete game->level;
    game->level = new Level(track, speed, jumps);
}

Ship* RaceFixture::newShip()
{
    Ship* ship = createShip(shipType);
    ships.push_back(ship);
    return ship;
}

void RaceFixture::step(Ship* ship, const std::vector<int>& keys, float dt)
{
    game->clock += dt;
    game->lastElapsed = dt;
    for (int key : keys)
        ship->onKey(key);
    ship->update();
}

void RaceFixture::steps(Ship* ship, int frames, const std::vector<int>& keys, float dt)
{
    for (int i = 0; i < frames; ++i)
        step(ship, keys, dt);
}
