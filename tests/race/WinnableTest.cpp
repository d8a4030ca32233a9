#include "TrackSearch.h"
#include "RaceFixture.h"

#include "ContentError.h"
#include "FileSystem.h"
#include "Game.h"
#include "Level.h"
#include "RecordingSoundManager.h"
#include "Ship.h"
#include "ShipType.h"
#include "SkipMissing.h"
#include "XmlDocument.h"
#include "XmlNode.h"
#include "XmlParser.h"
#include "ZipFileSystem.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>

// The shipped archive's ship types, tile speeds and countdown, on the
// recording device; levels are built one at a time with createLevel.
class ShippedLevels : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!std::ifstream(QUORIN_ARCHIVE).good())
            QUORIN_SKIP_MISSING("no content archive at " << QUORIN_ARCHIVE);
        ContentError::clear();
        game = Game::instance();
        game->setSize(640, 480);
        game->resetRenderStates();
        archive = createZipFileSystem(QUORIN_ARCHIVE);
        FileSystem::setInstance(archive);
        sound = new RecordingSoundManager();
        SoundManager::setInstance(sound);
        game->content = parseXmlFile("content.xml");
        ASSERT_NE(game->content, nullptr);
        XmlNode* root = game->content->root();
        XmlNode* speeds = contentElement(contentElement(contentElement(root, "game", "content"), "tile", "game"),
                                         "speed", "game/tile");
        const char* names[4] = {"slow", "normal", "fast", "veryFast"};
        for (int i = 0; i < 4; ++i)
            game->tileSpeeds[i] = contentFloat(speeds, names[i], "game/tile/speed");
        XmlNode* common = contentElement(root, "common", "content");
        game->tickTime = contentFloat(common, "tickTime", "common");
        XmlNode* ships = contentElement(common, "ships", "common");
        const int count = contentAttributeInt(ships, "count", "common/ships");
        for (int i = 0; ships && i < count && i < ships->childCount(); ++i) {
            XmlNode* ship = ships->child(static_cast<unsigned>(i));
            const std::string where = "ship " + std::to_string(i);
            ShipType* type = createShipType(contentText(ship, "name", where), contentText(ship, "mesh", where),
                                            contentFloat(ship, "scale", where), 0.0f, 0.0f, 0.0f);
            if (type)
                game->shipTypes.push_back(type);
        }
        ASSERT_FALSE(ContentError::raised()) << ContentError::first();
        ASSERT_GE(game->shipTypes.size(), 3u);
    }

    void TearDown() override
    {
        if (!game)
            return;
        delete game->level;
        game->level = nullptr;
        for (ShipType* type : game->shipTypes)
            delete type;
        game->shipTypes.clear();
        delete game->content;
        game->content = nullptr;
        destroyGame();
        SoundManager::setInstance(nullptr);
        delete sound;
        FileSystem::setInstance(nullptr);
        delete archive;
        ContentError::clear();
    }

    Game* game = nullptr;
    FileSystem* archive = nullptr;
    RecordingSoundManager* sound = nullptr;
};

// Every ship can reach the end of every level at 60 frames a second: a
// search over the keys (nothing, left, right, each with or without a jump,
// every tenth of a second) with the real physics finds a way through.
TEST_F(ShippedLevels, EveryLevelCanBeWonByEveryShip)
{
    const int levels = game->levelCount();
    ASSERT_GE(levels, 1);
    for (int index = 0; index < levels; ++index) {
        game->level = createLevel(index);
        ASSERT_NE(game->level, nullptr) << "level " << index << ": " << ContentError::first();
        for (ShipType* type : game->shipTypes) {
            const auto begin = std::chrono::steady_clock::now();
            Ship ship(type);
            const TrackSearchResult result = searchTrack(ship);
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
            EXPECT_TRUE(result.won) << "level " << index << " with ship \"" << type->name
                                    << "\": no path gets past row " << result.furthestRow << " of "
                                    << game->level->rowCount() << " (every one crashes there or is blocked)";
            std::printf("level %d, %s: %s in %.1f s of race, furthest row %d (searched in %.2f s)\n", index, type->name.c_str(),
                        result.won ? "won" : "lost", result.seconds, result.furthestRow, seconds);
            std::fflush(stdout);
        }
        delete game->level;
        game->level = nullptr;
    }
}

// The search itself: a gap of holes across the whole track is passed with a
// jump and not without, and the failure names the row where the paths end.
TEST_F(RaceFixture, TrackSearchJumpsGapsAndNamesTheRowItCannotPass)
{
    for (int jumps : {0, 1}) {
        SCOPED_TRACE(jumps);
        useTrack(rows(20) + rows(5, "000000000") + rows(10, "XXXCCCXXX") + rows(10), 1.0f, jumps);
        Ship* ship = newShip();
        const TrackSearchResult result = searchTrack(*ship);
        EXPECT_EQ(result.won, jumps == 1);
        if (jumps == 1) {
            EXPECT_EQ(result.furthestRow, 45);
            EXPECT_NE(result.inputs.find_first_of("JLR"), std::string::npos);
        } else {
            EXPECT_GE(result.furthestRow, 20);
            EXPECT_LE(result.furthestRow, 21);
        }
    }
}
