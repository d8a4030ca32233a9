#include "GameFixture.h"

#include "Font.h"
#include "Level.h"
#include "Matrix4.h"
#include "RaceScene.h"
#include "RaceView.h"
#include "RecordingDevice.h"
#include "RecordingSoundManager.h"
#include "Ship.h"
#include "Texture.h"

#include <cmath>
#include <map>

// One Texture::draw as it reached the device: two triangles of one texture
// over a window rectangle.
struct Quad {
    const void* texture;
    int x0, y0, x1, y1;
};

// One run of glyphs of a font on a line, spaces dropped.
struct Text {
    std::string text;
    int x, y;
};

static std::vector<Quad> drawnQuads(const RecordingDevice& device)
{
    std::vector<Quad> quads;
    const std::vector<DeviceCall>& calls = device.calls();
    const float w = 640.0f, h = 480.0f;
    for (size_t i = 0; i + 1 < calls.size(); ++i) {
        if (!calls[i].is("drawTriangle") || !calls[i + 1].is("drawTriangle") ||
            calls[i].object != calls[i + 1].object)
            continue;
        const Vertex* v = calls[i + 1].vertices;
        quads.push_back(Quad{calls[i].object, static_cast<int>(std::lround((v[0].x + 1.0f) * w / 2)),
                             static_cast<int>(std::lround((1.0f - v[0].y) * h / 2)),
                             static_cast<int>(std::lround((v[2].x + 1.0f) * w / 2)),
                             static_cast<int>(std::lround((1.0f - v[1].y) * h / 2))});
        ++i;
    }
    return quads;
}

static std::vector<Text> drawnTexts(const RecordingDevice& device, const Font* font)
{
    std::map<const void*, char> characters;
    for (int c = 255; c >= 33; --c) {
        if (font->glyph(static_cast<unsigned char>(c)))
            characters[font->glyph(static_cast<unsigned char>(c))] = static_cast<char>(c);
    }
    std::vector<Text> texts;
    int lastX1 = 0, lastY = -1;
    bool inText = false;
    for (const Quad& quad : drawnQuads(device)) {
        auto found = characters.find(quad.texture);
        if (found == characters.end()) {
            inText = false;
            continue;
        }
        const bool continues = inText && quad.y0 == lastY && quad.x0 >= lastX1 - 1 &&
                               quad.x0 <= lastX1 + font->lineHeight();
        if (!continues)
            texts.push_back(Text{std::string(), quad.x0, quad.y0});
        texts.back().text.push_back(found->second);
        lastX1 = quad.x1;
        lastY = quad.y0;
        inText = true;
    }
    return texts;
}

static std::string withoutSpaces(std::string text)
{
    std::string out;
    for (char c : text) {
        if (c != ' ')
            out.push_back(c);
    }
    return out;
}

static const Text* findText(const std::vector<Text>& texts, const std::string& text)
{
    for (const Text& t : texts) {
        if (t.text == withoutSpaces(text))
            return &t;
    }
    return nullptr;
}

class RaceViewTest : public GameFixture {
protected:
    // A one- or two-player race on level 0 of the small content, its scene
    // not yet run.
    void startRace(bool twoPlayers, const ContentFiles& files = smallContent())
    {
        ASSERT_TRUE(start(files));
        if (twoPlayers)
            startTwoPlayerRace(0, 1);
        else
            startOnePlayerRace();
        ASSERT_NE(game->ship1, nullptr);
        ASSERT_EQ(game->ship2 != nullptr, twoPlayers);
        ASSERT_NE(game->scene, nullptr);
        ASSERT_EQ(game->scene->getId(), 4);
        race = static_cast<RaceScene*>(game->scene);
        game->clearCalls();
        sound->clear();
    }
    void raceFrame(float dt = 1.0f / 60.0f)
    {
        game->clearCalls();
        game->onFrame(dt);
    }
    std::vector<Text> bigTexts() const { return drawnTexts(*game, game->bigFont); }
    std::vector<Text> littleTexts() const { return drawnTexts(*game, game->littleFont); }
    void expectCentredBig(const std::vector<Text>& texts, const std::string& text)
    {
        const Text* t = findText(texts, text);
        ASSERT_NE(t, nullptr) << text;
        EXPECT_EQ(t->x, (640 - game->bigFont->textWidth(text)) / 2) << text;
        EXPECT_EQ(t->y, (480 - game->bigFont->lineHeight()) / 2) << text;
    }

    RaceScene* race = nullptr;
};

// Each step of the countdown shows its text for a second of race clock and
// plays its sound once; "GO!" also starts the level's music. The clock
// starts at -3 tickTime, so a shorter tick skips the first steps.
TEST_F(RaceViewTest, CountdownShowsItsStepsWithTheirSounds)
{
    struct Case {
        const char* tickTime;
        std::vector<std::string> texts;
        std::vector<std::string> sounds;
    } cases[] = {
        {"1", {"3", "2", "1", "GO!"},
         {"sounds/validate.wav", "sounds/validate.wav", "sounds/validate.wav", "sounds/go.wav", "music/level.mod"}},
        {"0.5", {"2", "1", "GO!"}, {"sounds/validate.wav", "sounds/validate.wav", "sounds/go.wav", "music/level.mod"}},
        {"1.5", {"3", "2", "1", "GO!"},
         {"sounds/validate.wav", "sounds/validate.wav", "sounds/validate.wav", "sounds/go.wav", "music/level.mod"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tickTime);
        startRace(false, withReplaced(smallContent(), "<tickTime>0.5</tickTime>",
                                      std::string("<tickTime>") + c.tickTime + "</tickTime>"));
        std::vector<std::string> shown;
        while (game->ship1->raceClock < 1.5f) {
            raceFrame(0.125f);
            std::vector<Text> texts = bigTexts();
            ASSERT_LE(texts.size(), 1u);
            if (!texts.empty()) {
                if (shown.empty() || shown.back() != texts[0].text)
                    shown.push_back(texts[0].text);
                expectCentredBig(texts, texts[0].text);
            }
            if (game->ship1->raceClock < -3.0f || game->ship1->raceClock >= 1.0f) {
                ASSERT_TRUE(texts.empty()) << game->ship1->raceClock;
            }
        }
        EXPECT_EQ(shown, c.texts);
        EXPECT_EQ(sound->played(), c.sounds);
        shutdown();
        destroyGame();
        game = nullptr;
    }
}

// Both views share the countdown: the first to reach a step plays it.
TEST_F(RaceViewTest, TwoPlayersHearTheCountdownOnce)
{
    startRace(true);
    while (game->ship1->raceClock < 1.5f)
        raceFrame(0.125f);
    EXPECT_EQ(sound->played(), (std::vector<std::string>{"sounds/validate.wav", "sounds/validate.wav",
                                                          "sounds/go.wav", "music/level.mod"}));
}

// Two ships whose countdowns run half a second apart (they lost a life at
// different moments): each step sounds once for each ship, not again in
// every frame in which the other ship is one step further on.
TEST_F(RaceViewTest, CountdownsApartSoundEachStepOncePerShip)
{
    startRace(true);
    while (game->ship1->raceClock < 2.5f)
        raceFrame(0.125f);
    game->ship1->reset();
    for (int frame = 0; frame < 4; ++frame)
        raceFrame(0.125f);
    game->ship2->reset();
    sound->clear();
    while (game->ship2->raceClock < 2.5f)
        raceFrame(0.125f);
    EXPECT_EQ(sound->plays("sounds/validate.wav"), 3) << "ship 1's \"1\", ship 2's \"2\" and \"1\"";
    EXPECT_EQ(sound->plays("sounds/go.wav"), 2);
    EXPECT_EQ(sound->plays("music/level.mod"), 2);
}

// After a lost life the countdown runs again, sounds and music included.
TEST_F(RaceViewTest, CountdownRunsAgainAfterARespawn)
{
    startRace(false);
    for (int frame = 0; frame < 30; ++frame)
        raceFrame(0.125f);
    EXPECT_EQ(sound->plays("sounds/go.wav"), 1);
    game->ship1->reset();
    for (int frame = 0; frame < 20; ++frame)
        raceFrame(0.125f);
    EXPECT_EQ(sound->plays("sounds/go.wav"), 2);
    EXPECT_EQ(sound->plays("music/level.mod"), 2);
}

TEST_F(RaceViewTest, HudShowsTheFiguresAlongTheBottom)
{
    startRace(true);
    raceFrame();
    const int lh = game->littleFont->lineHeight();
    std::vector<Text> texts = littleTexts();
    struct Expected {
        const char* text;
        int x, y;
    } expected[] = {
        {"SCORE : 0", 0, 480 - 2 * lh},
        {"SAUTS : 3", 320, 480 - 2 * lh},
        {"VIES : 3", 0, 480 - lh},
        {"TEMPS : 0", 320, 480 - lh},
    };
    for (const Expected& e : expected) {
        SCOPED_TRACE(e.text);
        int seen = 0;
        for (const Text& t : texts) {
            if (t.text != withoutSpaces(e.text))
                continue;
            ++seen;
            EXPECT_EQ(t.x, e.x);
            EXPECT_EQ(t.y, e.y);
        }
        EXPECT_EQ(seen, 2) << "once per view, at the same window numbers";
    }

    // Later in the race, with one life lost and a jump taken.
    Ship* ship = game->ship1;
    ship->raceClock = 7.9f;
    ship->score = 48;
    ship->lives = 1;
    ship->jumpsLeft = 2;
    game->clearCalls();
    race->raceView->drawHud(ship);
    texts = littleTexts();
    EXPECT_NE(findText(texts, "SCORE : 48"), nullptr);
    EXPECT_NE(findText(texts, "SAUTS : 2"), nullptr);
    EXPECT_NE(findText(texts, "VIES : 2"), nullptr);
    EXPECT_NE(findText(texts, "TEMPS : 7"), nullptr);
    EXPECT_TRUE(bigTexts().empty());
}

TEST_F(RaceViewTest, ProgressStripFollowsTheDistance)
{
    startRace(false);
    Ship* ship = game->ship1;
    const int hudHeight = game->hudTexture->height();
    for (float distance : {0.0f, 1.5f, 2.95f}) {
        SCOPED_TRACE(distance);
        ship->distance = distance;
        game->clearCalls();
        race->raceView->drawHud(ship);
        const int expected = static_cast<int>(632.0f * (distance / 0.1f) / 30.0f);
        int strips = 0;
        for (const Quad& q : drawnQuads(*game)) {
            if (q.texture != game->plainTexture || q.y0 != 0)
                continue;
            ++strips;
            EXPECT_EQ(q.x0, expected);
            EXPECT_EQ(q.x1, expected + 8);
            EXPECT_EQ(q.y1, hudHeight);
        }
        EXPECT_EQ(strips, 1);
    }
}

TEST_F(RaceViewTest, FallMessageNamesTheLastLife)
{
    startRace(false);
    Ship* ship = game->ship1;
    struct Case {
        int lives;
        const char* message;
        const char* livesFigure;
    } cases[] = {{2, "PERDU!", "VIES : 3"}, {0, "MISSION KO!", "VIES : 1"}, {-1, "PERDU!", "VIES : 0"}};
    ship->raceClock = 5.0f;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lives);
        ship->lives = c.lives;
        ship->crashed = true;
        ship->fallSpeed = 0.0f;
        game->clearCalls();
        race->raceView->drawHud(ship);
        EXPECT_TRUE(bigTexts().empty()) << "nothing in the crash frame itself";
        ship->fallSpeed = -0.001f;
        game->clearCalls();
        race->raceView->drawHud(ship);
        std::vector<Text> texts = bigTexts();
        ASSERT_EQ(texts.size(), 1u);
        expectCentredBig(texts, c.message);
        EXPECT_NE(findText(littleTexts(), c.livesFigure), nullptr);
    }
}

// Viewports of the views, and the rows of track each one draws: the next
// 40 rows at most, none past the end.
TEST_F(RaceViewTest, ViewsDrawTheirHalfAndTheRowsAhead)
{
    startRace(true);
    raceFrame();
    std::vector<std::vector<int>> viewports;
    for (const DeviceCall* call : game->callsNamed("setViewport"))
        viewports.push_back({call->intArg(0), call->intArg(1), call->intArg(2), call->intArg(3)});
    ASSERT_GE(viewports.size(), 4u);
    EXPECT_EQ(viewports.front(), (std::vector<int>{0, 0, 640, 240}));
    EXPECT_EQ(viewports.back(), (std::vector<int>{0, 0, 640, 480}));
    EXPECT_NE(std::find(viewports.begin(), viewports.end(), std::vector<int>{0, 240, 640, 240}), viewports.end());

    Matrix4 whole, half;
    whole.setPerspective(0.00001f, 1000.0f, 45.0f, 640.0f / 480.0f);
    half.setPerspective(0.00001f, 1000.0f, 45.0f, 640.0f / 240.0f);
    int wholeAspect = 0, halfAspect = 0;
    for (const DeviceCall* call : game->callsNamed("loadMatrix")) {
        wholeAspect += std::equal(call->matrix, call->matrix + 16, whole.m);
        halfAspect += std::equal(call->matrix, call->matrix + 16, half.m);
    }
    EXPECT_GE(wholeAspect, 2) << "the whole window's aspect in both halves";
    EXPECT_EQ(halfAspect, 0);

    Ship* ship = game->ship1;
    struct Case {
        float distance;
        int rows;
    } cases[] = {{0.0f, 30}, {0.05f, 30}, {2.0f, 10}, {2.95f, 1}, {3.5f, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.distance);
        ship->distance = c.distance;
        game->clearCalls();
        race->raceView->drawScene(ship);
        // One part per floor tile, plus the ship's mesh.
        EXPECT_EQ(game->count("drawIndexed"), 9 * c.rows + 1);
        EXPECT_EQ(game->matrixErrors(), 0);
    }
}

TEST_F(RaceViewTest, DrawnRowsStopAtForty)
{
    ContentFiles files = smallContent();
    std::string track;
    for (int row = 0; row < 100; ++row)
        track += "XXXX0XXXX";
    files["levels/0/track.txt"] = track;
    startRace(false, files);
    raceFrame();
    race->raceView->drawScene(game->ship1);
    game->clearCalls();
    race->raceView->drawScene(game->ship1);
    EXPECT_EQ(game->count("drawIndexed"), 8 * 40 + 1) << "holes draw nothing";
}

TEST_F(RaceViewTest, PlayerTwoSteersWithItsOwnKeys)
{
    startRace(true);
    Ship* one = game->ship1;
    Ship* two = game->ship2;
    one->raceClock = two->raceClock = 0.0f;
    struct Case {
        int key;
        float one, two;
    } cases[] = {
        {Key::right, 0.04f, 0.0f},   {Key::left, -0.04f, 0.0f}, {Key::letterV, 0.0f, 0.04f},
        {Key::letterX, 0.0f, -0.04f}, {Key::letterA, 0.0f, 0.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        one->lateralSpeed = two->lateralSpeed = 0.0f;
        race->onKey(c.key);
        EXPECT_FLOAT_EQ(one->lateralSpeed, c.one);
        EXPECT_FLOAT_EQ(two->lateralSpeed, c.two);
    }
    race->onKey(Key::leftControl);
    EXPECT_TRUE(two->jumping());
    EXPECT_FALSE(one->jumping());
    race->onKey(Key::space);
    EXPECT_TRUE(one->jumping());
}

// The race ends once every ship has finished or is out for good; the
// loading screen is drawn over its last frame, and only then.
TEST_F(RaceViewTest, RaceEndsWhenEveryShipIsDone)
{
    enum State { racing, finished, out, falling };
    struct Case {
        State one;
        int two;  // -1: one player
        bool ends;
    } cases[] = {
        {finished, -1, true},       {out, -1, true},         {racing, -1, false},   {falling, -1, false},
        {finished, finished, true}, {out, out, true},        {finished, out, true}, {finished, racing, false},
        {out, falling, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.one << " " << c.two);
        startRace(c.two >= 0);
        auto put = [this](Ship* ship, int state) {
            switch (state) {
            case finished:
                ship->finished = true;
                break;
            case out:
                ship->crashed = true;
                ship->lives = -1;
                ship->crashTime = game->clock - 3.0f;
                break;
            case falling:
                ship->crashed = true;
                ship->lives = 1;
                ship->crashTime = game->clock;
                break;
            default:
                break;
            }
        };
        put(game->ship1, c.one);
        if (game->ship2)
            put(game->ship2, c.two);
        raceFrame();
        EXPECT_EQ(race->isDone(), c.ends);
        const std::vector<Text> texts = littleTexts();
        EXPECT_EQ(findText(texts, "CHARGEMENT") != nullptr, c.ends);
        if (c.ends) {
            EXPECT_EQ(game->last("setClearColor")->intArg(0), 0);
            EXPECT_EQ(game->last("clear")->intArg(0), 2);
        }
        shutdown();
        destroyGame();
        game = nullptr;
    }
}
