// Content loading: what a good archive gives the game, and what each kind
// of missing or malformed content does (a message naming it, a clean stop).
#include "GameFixture.h"

#include "ContentError.h"
#include "Level.h"
#include "Scene.h"
#include "Ship.h"
#include "ShipType.h"

#include "Font.h"
#include "MemoryFileSystem.h"
#include "RecordingSoundManager.h"
#include "Texture.h"

class ContentTest : public GameFixture {};

TEST_F(ContentTest, LoadsEveryGlobalEntry)
{
    ASSERT_TRUE(start()) << ContentError::first();
    ASSERT_EQ(game->shipTypes.size(), 4u);
    // Figures are found by name whatever their order inside a ship.
    const char* names[] = {"Arrow", "Bolt", "Comet", "Dart"};
    const float figures[4][4] = {
        {0.1f, 0.5f, 0.7f, 0.3f}, {0.1f, 0.8f, 0.4f, 0.6f}, {0.12f, 0.2f, 1.0f, 0.9f}, {0.1f, 0.1f, 0.1f, 0.1f}};
    for (int i = 0; i < 4; ++i) {
        ShipType* type = game->shipTypes[i];
        EXPECT_EQ(type->name, names[i]);
        EXPECT_FLOAT_EQ(type->scale, figures[i][0]);
        EXPECT_FLOAT_EQ(type->grip, figures[i][1]);
        EXPECT_FLOAT_EQ(type->maxSpeed, figures[i][2]);
        EXPECT_FLOAT_EQ(type->lenghtJump, figures[i][3]);
        EXPECT_NE(type->mesh, nullptr);
    }
    ASSERT_NE(game->littleFont, nullptr);
    ASSERT_NE(game->bigFont, nullptr);
    EXPECT_GT(game->bigFont->lineHeight(), game->littleFont->lineHeight());
    EXPECT_NE(game->hudTexture, nullptr);
    EXPECT_NE(game->detailTexture, nullptr);
    EXPECT_FLOAT_EQ(game->tickTime, 0.5f);
    EXPECT_FLOAT_EQ(game->tileSpeed(4), 2.0f) << "\"2.0x\" reads as its leading number";
    ASSERT_NE(game->plainTexture, nullptr);
    EXPECT_EQ(game->plainTexture->width(), 1);
    EXPECT_EQ(static_cast<RecordingTexture*>(game->plainTexture)->texel(0, 0) >> 24, 176u);

    const char* sounds[] = {"sounds/select.wav", "sounds/validate.wav", "sounds/go.wav", "sounds/death.wav",
                            "sounds/jump.wav"};
    for (const char* path : sounds)
        EXPECT_EQ(sound->loads(path), 1) << path;
    EXPECT_EQ(sound->pathOf(game->clickSelectSound), "sounds/select.wav");
    EXPECT_EQ(sound->pathOf(game->deathSound), "sounds/death.wav");
    EXPECT_EQ(sound->pathOf(game->goSound), "sounds/go.wav");

    // Content loads once: a menu frame opens no file.
    MemoryFileSystem* archive = static_cast<MemoryFileSystem*>(game->archive);
    archive->resetCounts();
    for (int i = 0; i < 5; ++i)
        frame();
    EXPECT_EQ(archive->opens(), 0);
}

TEST_F(ContentTest, ACountBelowTheShipsPresentLoadsOnlyThatMany)
{
    ASSERT_TRUE(start(withReplaced(smallContent(), "<ships count=\"4\">", "<ships count=\"3\">")));
    ASSERT_EQ(game->shipTypes.size(), 3u);
    EXPECT_EQ(game->shipTypes[2]->name, "Comet");
}

TEST_F(ContentTest, MissingOrMalformedContentStopsTheGameWithAMessage)
{
    struct Case {
        const char* what;
        ContentFiles files;
        const char* message;
    };
    ContentFiles noArchiveXml = smallContent();
    noArchiveXml.erase("content.xml");
    ContentFiles badXml = smallContent();
    badXml["content.xml"] = "<content><common></content>";
    ContentFiles noMesh = smallContent();
    noMesh.erase("ships/arrow.msh");
    ContentFiles noSound = smallContent();
    noSound.erase("sounds/go.wav");
    ContentFiles noPicture = smallContent();
    noPicture.erase("pictures/hud.png");
    ContentFiles noFont = smallContent();
    noFont.erase("fonts/sans.ttf");
    ContentFiles noMenuMusic = smallContent();
    noMenuMusic.erase("music/menu.mod");
    ContentFiles noCursor = smallContent();
    noCursor.erase("pictures/cursor.png");
    ContentFiles noMenuBackground = smallContent();
    noMenuBackground.erase("pictures/menu.png");

    const Case cases[] = {
        {"no content.xml", noArchiveXml, "content.xml"},
        {"content.xml that does not parse", badXml, "content.xml"},
        {"no common", withoutElement(smallContent(), "common"), "\"common\""},
        {"no ships", withoutElement(smallContent(), "ships"), "\"ships\""},
        {"no count", withReplaced(smallContent(), "<ships count=\"4\">", "<ships>"), "\"count\""},
        {"count above the ships", withReplaced(smallContent(), "count=\"4\"", "count=\"5\""), "count 5"},
        {"two ship types", withReplaced(smallContent(), "count=\"4\"", "count=\"2\""), "needs 3"},
        {"ship without a name", withoutElement(smallContent(), "name"), "\"name\""},
        {"ship without a mesh element", withReplaced(smallContent(), "<mesh>ships/arrow.msh</mesh>", ""),
         "\"mesh\""},
        {"mesh file missing", noMesh, "ships/arrow.msh"},
        {"no little font", withoutElement(smallContent(), "little"), "\"little\""},
        {"font without size", withReplaced(smallContent(), "<big size=\"20\">", "<big>"), "\"size\""},
        {"font file missing", noFont, "fonts/sans.ttf"},
        {"font without glyphs", withReplaced(smallContent(), ">fonts/sans.ttf</big>", ">pictures/hud.png</big>"),
         "without glyphs"},
        {"empty hud element", withReplaced(smallContent(), "<hud>pictures/hud.png</hud>", "<hud></hud>"),
         "\"hud\""},
        {"hud picture missing", noPicture, "pictures/hud.png"},
        {"no tickTime", withoutElement(smallContent(), "tickTime"), "\"tickTime\""},
        {"go sound missing", noSound, "sounds/go.wav"},
        {"no jump sound", withoutElement(smallContent(), "jump"), "\"jump\""},
        {"no tile speeds", withoutElement(smallContent(), "speed"), "\"speed\""},
        {"no fast speed", withoutElement(smallContent(), "fast"), "\"fast\""},
        {"no menu", withoutElement(smallContent(), "menu"), "\"menu\""},
        {"no menu cursor", withoutElement(smallContent(), "cursor"), "\"cursor\""},
        {"cursor picture missing", noCursor, "pictures/cursor.png"},
        {"menu background missing", noMenuBackground, "pictures/menu.png"},
        {"menu music missing", noMenuMusic, "music/menu.mod"},
        {"no languages", withoutElement(smallContent(), "languages"), "languages"},
        {"no loading text", withoutElement(smallContent(), "loading"), "\"loading\""},
        {"no menu items", withoutElement(smallContent(), "menuItems"), "\"menuItems\""},
        {"no player 2 title", withoutElement(smallContent(), "selectShipPlayer2Title"),
         "\"selectShipPlayer2Title\""},
        {"no levels", withoutElement(smallContent(), "levels"), "\"levels\""},
        {"no level at all",
         withReplaced(withoutElement(smallContent(), "levels"), "<languages>", "<levels></levels><languages>"),
         "no level"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testing::internal::CaptureStderr();
        EXPECT_FALSE(start(c.files));
        std::string printed = testing::internal::GetCapturedStderr();
        EXPECT_TRUE(game->contentFailed());
        EXPECT_EQ(game->scene, nullptr);
        EXPECT_TRUE(game->quitRequested());
        EXPECT_NE(ContentError::first().find(c.message), std::string::npos) << ContentError::first();
        EXPECT_NE(printed.find("quorin: content error: "), std::string::npos) << printed;
        // The device may still run a frame and deliver keys before it stops.
        game->onKey(Key::enter);
        frame();
        shutdown();
        EXPECT_EQ(liveEntries(game->registry().textures()), 0);
        destroyGame();
        game = nullptr;
    }
}

// What a player without a console is shown: the lines printed on stderr,
// every one of them while they are few, a count of the rest past ten.
TEST_F(ContentTest, ThePlayersMessageHoldsTheReportsAsPrinted)
{
    testing::internal::CaptureStderr();
    EXPECT_FALSE(start(withoutElement(withoutElement(smallContent(), "loading"), "selectShipPlayer2Title")));
    std::string printed = testing::internal::GetCapturedStderr();
    ASSERT_EQ(ContentError::count(), 2) << printed;
    EXPECT_EQ(ContentError::text() + "\n", printed);

    ContentError::clear();
    testing::internal::CaptureStderr();
    for (int i = 0; i < 13; ++i)
        ContentError::report("report " + std::to_string(i));
    testing::internal::GetCapturedStderr();
    std::string text = ContentError::text();
    EXPECT_EQ(text.substr(0, text.find('\n')), "quorin: content error: report 0");
    EXPECT_NE(text.find("quorin: content error: report 9\n(and 3 more)"), std::string::npos) << text;
    EXPECT_EQ(text.find("report 10"), std::string::npos) << text;
    ContentError::clear();
    EXPECT_EQ(ContentError::text(), "");
}

TEST_F(ContentTest, ABrokenLevelStopsTheGameWhenTheRaceStarts)
{
    ContentFiles files = smallContent();
    files.erase("levels/0/track.txt");
    ASSERT_TRUE(start(files));
    game->setRecording(false);
    testing::internal::CaptureStderr();
    startOnePlayerRace();
    std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(game->contentFailed());
    EXPECT_EQ(game->scene, nullptr);
    EXPECT_TRUE(game->quitRequested());
    EXPECT_EQ(game->level, nullptr);
    EXPECT_NE(printed.find("levels/0/track.txt"), std::string::npos) << printed;
}

TEST_F(ContentTest, AnEmptyNextLevelStopsTheGameAfterTheWin)
{
    ContentFiles files = smallContent();
    files["levels/1/track.txt"] = "";
    ASSERT_TRUE(start(files));
    game->setRecording(false);
    startOnePlayerRace();
    ASSERT_NE(game->ship1, nullptr);
    game->ship1->finished = true;
    testing::internal::CaptureStderr();
    frame();
    frame();
    std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(game->contentFailed());
    EXPECT_EQ(game->scene, nullptr);
    EXPECT_TRUE(game->quitRequested());
    EXPECT_NE(printed.find("quorin: content error: "), std::string::npos);
}

TEST_F(ContentTest, TheLanguageNodeHoldsTheScreenTexts)
{
    ASSERT_TRUE(start());
    XmlNode* language = game->languageNode();
    ASSERT_NE(language, nullptr);
    EXPECT_EQ(contentText(language, "loading", "french"), "CHARGEMENT");
    EXPECT_EQ(ContentError::count(), 0);
    EXPECT_EQ(contentText(language, "nothing", "french"), "");
    EXPECT_EQ(ContentError::count(), 1);
    EXPECT_EQ(contentElement(nullptr, "loading", "nowhere"), nullptr);
    EXPECT_EQ(ContentError::count(), 1) << "a failed lookup is reported once, not again below it";
}

TEST_F(ContentTest, APictureMissingWhenAMenuScreenOpensStopsTheGame)
{
    ContentFiles files = smallContent();
    files.erase("pictures/envmap.png");
    ASSERT_TRUE(start(files)) << "the environment map is read when ship selection opens";
    testing::internal::CaptureStderr();
    press(Key::enter);
    std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(game->contentFailed());
    EXPECT_EQ(game->scene, nullptr);
    EXPECT_TRUE(game->quitRequested());
    EXPECT_NE(printed.find("pictures/envmap.png"), std::string::npos) << printed;
    frame();
}
