// The game's state machine: menu, races, the level sequence and the end.
#include "GameFixture.h"

#include "ContentError.h"
#include "Level.h"
#include "MenuHostScene.h"
#include "Scene.h"
#include "Ship.h"
#include "ShipType.h"

#include "MemoryFileSystem.h"
#include "RecordingSoundManager.h"

namespace {

// A ship fallen for good: crashed long ago with no life left.
void knockOut(Ship* ship, float clock)
{
    ship->crashed = true;
    ship->crashTime = clock - 3.0f;
    ship->lives = 0;
}

} // namespace

class GameFlowTest : public GameFixture {};

TEST_F(GameFlowTest, StartsOnTheMenuWithItsMusic)
{
    ASSERT_TRUE(start());
    ASSERT_NE(game->scene, nullptr);
    EXPECT_EQ(game->scene->getId(), sceneMenuHost);
    EXPECT_EQ(sound->plays("music/menu.mod"), 1);
    frame(0.05f);
    EXPECT_FLOAT_EQ(game->clock, 0.05f);
    EXPECT_FLOAT_EQ(game->lastElapsed, 0.05f);
    EXPECT_EQ(game->level, nullptr);
    EXPECT_EQ(game->ship1, nullptr);
}

TEST_F(GameFlowTest, QuitOnTheMenuEndsTheGameOnce)
{
    ASSERT_TRUE(start());
    for (int i = 0; i < 3; ++i)
        press(Key::down);
    press(Key::enter);
    EXPECT_EQ(sound->stops("music/menu.mod"), 1);
    EXPECT_FALSE(game->quitRequested());
    frame();
    EXPECT_EQ(game->scene, nullptr);
    EXPECT_TRUE(game->quitRequested());
    // A device may still deliver keys and a frame after the request.
    game->onKey(Key::enter);
    frame();
    EXPECT_EQ(game->count("requestQuit"), 1);
    EXPECT_FALSE(game->contentFailed());
}

TEST_F(GameFlowTest, OnePlayerRaceHasOneShipOnTheCurrentLevel)
{
    ASSERT_TRUE(start());
    startOnePlayerRace(1);
    ASSERT_NE(game->scene, nullptr);
    EXPECT_EQ(game->scene->getId(), sceneRace);
    ASSERT_NE(game->level, nullptr);
    EXPECT_FLOAT_EQ(game->level->speed, 1.0f);
    ASSERT_NE(game->ship1, nullptr);
    EXPECT_EQ(game->ship1->type, game->shipTypes[1]);
    EXPECT_EQ(game->ship2, nullptr);
    EXPECT_EQ(game->ship1->jumpsLeft, 3);
}

TEST_F(GameFlowTest, TwoPlayerRaceHasEachPlayersShip)
{
    ASSERT_TRUE(start());
    startTwoPlayerRace(1, 1);
    ASSERT_NE(game->scene, nullptr);
    EXPECT_EQ(game->scene->getId(), sceneRace);
    ASSERT_NE(game->ship1, nullptr);
    ASSERT_NE(game->ship2, nullptr);
    EXPECT_EQ(game->ship1->type, game->shipTypes[1]);
    EXPECT_EQ(game->ship2->type, game->shipTypes[2]);
}

TEST_F(GameFlowTest, WonRacesGoThroughTheLevelsWithTheSameShipsAndWrapAfterTheLast)
{
    ASSERT_TRUE(start());
    game->setRecording(false);
    startTwoPlayerRace(0, 2);
    Ship* ship1 = game->ship1;
    Ship* ship2 = game->ship2;
    ship1->score = 70;
    ship1->lives = 1;
    // What one level holds on the device; a level that goes leaves nothing.
    auto liveResources = [this] {
        return std::vector<int>{liveEntries(game->registry().textures()),
                                liveEntries(game->registry().vertexBuffers()),
                                liveEntries(game->registry().indexBuffers())};
    };
    const std::vector<int> onFirstLevel = liveResources();

    for (int won = 1; won <= 3; ++won) {
        ship1->finished = true;
        frame();
        ASSERT_FALSE(game->scene->isDone()) << "both ships must finish";
        ship2->finished = true;
        frame();
        ASSERT_TRUE(game->scene->isDone());
        frame();
        ASSERT_NE(game->scene, nullptr);
        EXPECT_EQ(game->scene->getId(), sceneRace);
        EXPECT_EQ(game->ship1, ship1);
        EXPECT_EQ(game->ship2, ship2);
        EXPECT_FALSE(ship1->finished);
        EXPECT_FALSE(ship2->finished);
        // Two levels: 1, then back to 0, then 1 again; lives and score kept.
        EXPECT_EQ(game->levelIndex, won % 2);
        ASSERT_NE(game->level, nullptr);
        EXPECT_FLOAT_EQ(game->level->speed, won % 2 ? 1.2f : 1.0f);
        EXPECT_EQ(ship1->jumpsLeft, won % 2 ? 2 : 3);
        EXPECT_EQ(ship1->score, 70);
        EXPECT_EQ(ship1->lives, 1);
        if (won % 2 == 0) {
            EXPECT_EQ(liveResources(), onFirstLevel) << "after " << won << " levels";
        }
    }
    EXPECT_FALSE(game->quitRequested());
}

TEST_F(GameFlowTest, ARaceWithAShipOutReturnsToTheMenuAndTheNextGameKeepsTheLevel)
{
    ASSERT_TRUE(start());
    startTwoPlayerRace(0, 0);
    game->ship1->finished = true;
    game->ship2->finished = true;
    frame();
    frame();
    ASSERT_EQ(game->levelIndex, 1);

    // Ship 2 finishes, ship 1 is out for good: lost.
    game->ship2->finished = true;
    knockOut(game->ship1, game->clock);
    frame();
    ASSERT_TRUE(game->scene->isDone());
    sound->clear();
    frame();
    ASSERT_NE(game->scene, nullptr);
    EXPECT_EQ(game->scene->getId(), sceneMenuHost);
    EXPECT_EQ(game->ship1, nullptr);
    EXPECT_EQ(game->ship2, nullptr);
    EXPECT_EQ(game->level, nullptr);
    EXPECT_EQ(sound->plays("music/menu.mod"), 1);

    // A new game starts where the lost one ended, with new ships.
    startOnePlayerRace();
    ASSERT_NE(game->ship1, nullptr);
    EXPECT_EQ(game->levelIndex, 1);
    EXPECT_FLOAT_EQ(game->level->speed, 1.2f);
    EXPECT_EQ(game->ship1->lives, 2);
    EXPECT_EQ(game->ship1->score, 0);
}

TEST_F(GameFlowTest, ARaceGoesOnWhileOneShipIsStillRacing)
{
    ASSERT_TRUE(start());
    game->setRecording(false);
    startTwoPlayerRace(0, 0);
    knockOut(game->ship2, game->clock);
    for (int i = 0; i < 10; ++i)
        frame();
    EXPECT_FALSE(game->scene->isDone());
    game->ship1->finished = true;
    frame();
    EXPECT_TRUE(game->scene->isDone());
}

TEST_F(GameFlowTest, ShipsFallingIntoHolesLoseTheGameWithTheRealPhysics)
{
    ContentFiles files = smallContent();
    files["levels/0/track.txt"] = "000000000\n000000000\n000000000\n";
    ASSERT_TRUE(start(files));
    game->setRecording(false);
    startOnePlayerRace();
    ASSERT_EQ(game->scene->getId(), sceneRace);
    int frames = 0;
    while (game->scene && game->scene->getId() == sceneRace && frames < 20000) {
        frame();
        ++frames;
    }
    ASSERT_NE(game->scene, nullptr);
    EXPECT_EQ(game->scene->getId(), sceneMenuHost) << "after " << frames << " frames";
    EXPECT_EQ(sound->plays("sounds/death.wav"), 3) << "three lives, three falls";
}

TEST_F(GameFlowTest, ReachingTheEndOfTheTrackWinsWithTheRealPhysics)
{
    ContentFiles files = smallContent();
    files["levels/0/track.txt"] = "XXXXXXXXX\nXXXXXXXXX\nXXXXXXXXX\nXXXXXXXXX\n";
    ASSERT_TRUE(start(files));
    game->setRecording(false);
    startOnePlayerRace();
    Ship* ship = game->ship1;
    int frames = 0;
    while (game->levelIndex == 0 && game->scene && frames < 20000) {
        frame();
        ++frames;
    }
    EXPECT_EQ(game->levelIndex, 1) << "after " << frames << " frames";
    EXPECT_EQ(game->ship1, ship);
    ASSERT_NE(game->scene, nullptr);
    EXPECT_EQ(game->scene->getId(), sceneRace);
}

TEST_F(GameFlowTest, TileSpeedsComeFromTheContent)
{
    ASSERT_TRUE(start());
    const float expected[] = {0.0f, 0.5f, 1.0f, 1.5f, 2.0f, 0.0f, 0.0f};
    for (int type = 0; type <= 6; ++type)
        EXPECT_FLOAT_EQ(game->tileSpeed(type), expected[type]) << "tile type " << type;
    EXPECT_FLOAT_EQ(game->tileSpeed(-1), 0.0f);
}

TEST_F(GameFlowTest, ShutdownEmptiesTheGameAndInitStartsItAfresh)
{
    ASSERT_TRUE(start());
    startTwoPlayerRace(0, 0);
    game->onShutdown();
    EXPECT_EQ(game->content, nullptr);
    EXPECT_EQ(game->scene, nullptr);
    EXPECT_EQ(game->ship1, nullptr);
    EXPECT_EQ(game->level, nullptr);
    EXPECT_EQ(game->backdrop, nullptr);
    EXPECT_EQ(game->archive, nullptr);
    EXPECT_EQ(game->soundManager, nullptr);
    EXPECT_TRUE(game->shipTypes.empty());
    EXPECT_EQ(liveEntries(game->registry().textures()), 0) << "every texture is deleted by its owner";

    game->onInit();
    EXPECT_EQ(game->shipTypes.size(), 4u);
    ASSERT_NE(game->scene, nullptr);
    EXPECT_EQ(game->scene->getId(), sceneMenuHost);
    EXPECT_EQ(game->levelIndex, 0);
}

TEST_F(GameFlowTest, TheWholeProgramRunsOnTheDeviceLoopUntilQuit)
{
    // Through the device's own loop, keys held as a player would: into the
    // instructions and back, then down to "quit".
    ContentError::clear();
    game = Game::instance();
    game->openArchive = [] {
        MemoryFileSystem* archive = new MemoryFileSystem();
        for (const auto& file : smallContent())
            archive->add(file.first, file.second);
        return static_cast<FileSystem*>(archive);
    };
    game->openSoundManager = [] { return static_cast<SoundManager*>(new RecordingSoundManager()); };
    game->setFrameTime(0.1f);
    game->setMaxFrames(200);
    const int keys[][2] = {{5, Key::down}, {10, Key::down}, {15, Key::enter}, {20, Key::space},
                           {25, Key::up}, {30, Key::down}, {35, Key::down}, {40, Key::down},
                           {45, Key::enter}};
    for (const auto& key : keys)
        game->holdKeysAt(key[0], {key[1]});
    game->run(640, 480, false, "Quorin", false, true);
    EXPECT_TRUE(game->quitRequested());
    EXPECT_LT(game->framesRun(), 60);
    EXPECT_EQ(game->scene, nullptr);
    EXPECT_EQ(game->content, nullptr) << "onShutdown ran";
    EXPECT_EQ(liveEntries(game->registry().textures()), 0);
    EXPECT_FALSE(game->contentFailed());
}
