#ifndef QUORIN_TEST_RACE_FIXTURE_H
#define QUORIN_TEST_RACE_FIXTURE_H

#include "Game.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

class MemoryFileSystem;
class RecordingSoundManager;
class Ship;
class ShipType;
class SoundHandle;

// A game over the recording device with no content loaded: tile speeds
// 0.5 / 1 / 1.5 / 2, a tiny level from a track text, a box-shaped test ship
// and a recording sound manager whose handles are named after the sounds
// ("death", "jump", "go", "click", "music").
class RaceFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Replaces the level. rows are concatenated track text.
    void useTrack(const std::string& track, float speed = 1.0f, int jumps = 3);
    // A ship of the test type on the current level: 0.04 wide and long, so
    // half width 0.02, nose 0.026 and front corners 0.1 ahead.
    Ship* newShip();
    // One race frame for the ship: the held keys, then update, with
    // Game::clock and lastElapsed advanced as the game does.
    void step(Ship* ship, const std::vector<int>& keys = {}, float dt = 1.0f / 60.0f);
    void steps(Ship* ship, int frames, const std::vector<int>& keys = {}, float dt = 1.0f / 60.0f);

    Game* game = nullptr;
    MemoryFileSystem* files = nullptr;
    RecordingSoundManager* sound = nullptr;
    ShipType* shipType = nullptr;
    std::vector<Ship*> ships;
};

// A mesh whose box is w x h x l (x across, z along), for ship types.
class Mesh;
Mesh* boxMesh(float w, float h, float l);

// A track of n rows of one row text.
std::string rows(int n, const std::string& row = "XXXXXXXXX");

#endif
