// The menus: the host's key filter and sub-scene switching, the main menu,
// the instructions, ship selection, the loading screen and the backdrop.
#include "GameFixture.h"

#include "Backdrop.h"
#include "InstructionsScene.h"
#include "LoadingScreen.h"
#include "MainMenuScene.h"
#include "MenuHostScene.h"
#include "Ship.h"
#include "ShipSelectScene.h"
#include "ShipType.h"

#include "Font.h"
#include "IndexBuffer.h"
#include "MemoryFileSystem.h"
#include "Mesh.h"
#include "RecordingSoundManager.h"
#include "RenderState.h"
#include "SubMesh.h"
#include "VertexBuffer.h"

#include <cmath>
#include <limits>

class MenuTest : public GameFixture {
protected:
    MenuHostScene* host() { return static_cast<MenuHostScene*>(game->scene); }
    Scene* sub() { return host()->subScene; }
    MainMenuScene* mainMenu() { return static_cast<MainMenuScene*>(sub()); }
    ShipSelectScene* shipSelect() { return static_cast<ShipSelectScene*>(sub()); }
};

TEST_F(MenuTest, AHeldKeyPassesOnceEveryFifthOfASecond)
{
    ASSERT_TRUE(start());
    // Down held for 50 frames of 1/60 s, with up held too: only the first
    // key delivered in a frame can pass, and only when the clock is past the
    // last pass + 0.2 s (the first frame's clock is 0: nothing passes yet).
    std::vector<float> passedAt;
    int lastIndex = mainMenu()->index;
    for (int i = 0; i < 50; ++i) {
        float clock = game->clock;
        game->onKey(Key::down);
        game->onKey(Key::up);
        if (mainMenu()->index != lastIndex) {
            passedAt.push_back(clock);
            lastIndex = mainMenu()->index;
        }
        frame();
    }
    ASSERT_EQ(passedAt.size(), 3u);
    EXPECT_NEAR(passedAt[0], 1.0f / 60, 1e-5);
    EXPECT_GT(passedAt[1] - passedAt[0], 0.2f);
    EXPECT_LT(passedAt[1] - passedAt[0], 0.2f + 1.5f / 60);
    EXPECT_GT(passedAt[2] - passedAt[1], 0.2f);
    EXPECT_EQ(mainMenu()->index, 3);
    EXPECT_EQ(sound->plays("sounds/select.wav"), 3);
}

// Quit chosen, the host finishing in a frame of more than 0.2 s: in the
// next loop turn a key reaches the host, its wait over, before the game
// replaces it. The host has no sub-scene left to give it to.
TEST_F(MenuTest, AFinishedHostDropsKeys)
{
    ASSERT_TRUE(start());
    for (int i = 0; i < 3; ++i)
        press(Key::down);
    game->onFrame(0.25f);
    game->onKey(Key::enter);
    game->onFrame(0.5f);
    ASSERT_TRUE(host()->isDone());
    ASSERT_EQ(sub(), nullptr);
    const float nextKeyTime = host()->nextKeyTime;
    ASSERT_GT(game->clock, nextKeyTime) << "the key is not held back by the wait";
    sound->clear();

    game->onKey(Key::enter);
    EXPECT_EQ(host()->nextKeyTime, nextKeyTime) << "the key was dropped, not let through";
    EXPECT_EQ(sub(), nullptr);
    EXPECT_EQ(host()->player1ShipType, nullptr);
    EXPECT_TRUE(sound->calls().empty());

    game->onFrame(1.0f / 60.0f);
    EXPECT_EQ(game->scene, nullptr) << "the game quits as chosen";
}

TEST_F(MenuTest, MainMenuKeys)
{
    struct Case {
        int startIndex;
        int key;
        int index;
        bool selectSound;
        bool done;
    };
    const Case cases[] = {
        {0, Key::up, 0, false, false},   {0, Key::down, 1, true, false},  {3, Key::down, 3, false, false},
        {3, Key::up, 2, true, false},    {2, Key::enter, 2, false, true}, {1, Key::space, 1, false, true},
        {1, Key::letterA, 1, false, false}, {1, Key::right, 1, false, false},
    };
    ASSERT_TRUE(start());
    for (const Case& c : cases) {
        MainMenuScene menu;
        menu.index = c.startIndex;
        sound->clear();
        menu.onKey(c.key);
        SCOPED_TRACE("key " + std::to_string(c.key) + " on row " + std::to_string(c.startIndex));
        EXPECT_EQ(menu.index, c.index);
        EXPECT_EQ(sound->plays("sounds/select.wav"), c.selectSound ? 1 : 0);
        EXPECT_EQ(menu.isDone(), c.done);
        EXPECT_EQ(sound->plays("sounds/validate.wav"), c.done ? 1 : 0);
        if (c.done) {
            EXPECT_EQ(menu.choice, c.index);
        }
    }
}

TEST_F(MenuTest, MainMenuCursorIsOpaqueExceptPureBlack)
{
    ContentFiles files = smallContent();
    files["pictures/cursor.png"] = pngBytes(2, 1, 0xFF000000u);
    ASSERT_TRUE(start(files));
    MainMenuScene menu;
    ASSERT_NE(menu.cursor, nullptr);
    EXPECT_EQ(static_cast<RecordingTexture*>(menu.cursor)->texel(0, 0), 0x00000000u);

    static_cast<MemoryFileSystem*>(game->archive)->add("pictures/cursor.png", pngBytes(2, 1, 0x10010203u));
    MainMenuScene next;
    ASSERT_NE(next.cursor, nullptr);
    EXPECT_EQ(static_cast<RecordingTexture*>(next.cursor)->texel(1, 0), 0xFF010203u);
}

TEST_F(MenuTest, InstructionsOpenAndLeaveForAFreshMainMenu)
{
    ASSERT_TRUE(start());
    press(Key::down);
    press(Key::down);
    press(Key::enter);
    ASSERT_EQ(sub()->getId(), sceneInstructions);
    press(Key::down);
    press(Key::letterX);
    EXPECT_EQ(sub()->getId(), sceneInstructions);
    sound->clear();
    press(Key::space);
    EXPECT_EQ(sound->plays("sounds/validate.wav"), 1);
    ASSERT_EQ(sub()->getId(), sceneMainMenu);
    EXPECT_EQ(mainMenu()->index, 0);
    EXPECT_FALSE(host()->isDone());
}

TEST_F(MenuTest, OnePlayerShipSelection)
{
    // Keys in order, with the index and player 1's type after each.
    struct Step {
        int key;
        int index;
        bool selectSound;
    };
    const Step steps[] = {
        {Key::left, 0, false}, {Key::right, 1, true}, {Key::right, 2, true},
        {Key::right, 2, false}, {Key::letterQ, 2, false}, {Key::left, 1, true},
    };
    ASSERT_TRUE(start());
    press(Key::enter);
    ASSERT_EQ(sub()->getId(), sceneShipSelect);
    ShipSelectScene* select = shipSelect();
    EXPECT_EQ(select->players, 1);
    EXPECT_EQ(select->player1ShipType, game->shipTypes[0]);
    for (const Step& step : steps) {
        sound->clear();
        select->onKey(step.key);
        SCOPED_TRACE("key " + std::to_string(step.key));
        EXPECT_EQ(select->index, step.index);
        EXPECT_EQ(select->player1ShipType, game->shipTypes[step.index]);
        EXPECT_EQ(sound->plays("sounds/select.wav"), step.selectSound ? 1 : 0);
        EXPECT_EQ(select->player2ShipType, nullptr);
    }
    sound->clear();
    select->onKey(Key::leftControl);
    EXPECT_TRUE(select->isDone());
    EXPECT_EQ(sound->plays("sounds/validate.wav"), 1);
    EXPECT_EQ(select->player1ShipType, game->shipTypes[1]);
    EXPECT_EQ(select->player2ShipType, nullptr);

    frame();
    EXPECT_TRUE(host()->isDone());
    EXPECT_EQ(host()->player1ShipType, game->shipTypes[1]);
    EXPECT_EQ(host()->player2ShipType, nullptr);
    EXPECT_EQ(sound->stops("music/menu.mod"), 1);
}

TEST_F(MenuTest, TwoPlayerShipSelection)
{
    ASSERT_TRUE(start());
    press(Key::down);
    press(Key::enter);
    ShipSelectScene* select = shipSelect();
    ASSERT_EQ(select->players, 2);
    select->onKey(Key::right);
    select->onKey(Key::right);
    select->onKey(Key::enter);
    EXPECT_FALSE(select->isDone());
    EXPECT_EQ(select->choosingPlayer2, 1);
    EXPECT_EQ(select->player1ShipType, game->shipTypes[2]);
    EXPECT_EQ(select->player2ShipType, game->shipTypes[2]) << "player 2 starts on player 1's choice";
    select->onKey(Key::right);
    EXPECT_EQ(select->index, 2) << "the fourth type cannot be reached";
    select->onKey(Key::left);
    EXPECT_EQ(select->player1ShipType, game->shipTypes[2]);
    EXPECT_EQ(select->player2ShipType, game->shipTypes[1]);
    select->onKey(Key::space);
    EXPECT_TRUE(select->isDone());
    frame();
    EXPECT_EQ(host()->player1ShipType, game->shipTypes[2]);
    EXPECT_EQ(host()->player2ShipType, game->shipTypes[1]);
}

TEST_F(MenuTest, GaugeCells)
{
    struct Case {
        float value;
        int filled;
        int empty;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Case cases[] = {
        {0.0f, 1, 20}, {0.5f, 11, 10}, {1.0f, 21, 0}, {1.5f, 31, 0}, {-0.05f, 1, 20},
        {-0.1f, 0, 21}, {-7.0f, 0, 21}, {1e30f, 201, 0}, {nan, 0, 21},
    };
    ASSERT_TRUE(start());
    ShipSelectScene select;
    for (const Case& c : cases) {
        game->clearCalls();
        select.drawGauge(10, 20, c.value, 12);
        int filled = 0, empty = 0;
        for (const DeviceCall* call : game->callsNamed("setTexture")) {
            filled += call->object == select.cellTexture;
            empty += call->object == game->plainTexture;
        }
        EXPECT_EQ(filled, c.filled) << c.value;
        EXPECT_EQ(empty, c.empty) << c.value;
    }
}

TEST_F(MenuTest, GaugesEaseTowardTheShownType)
{
    ASSERT_TRUE(start());
    ShipSelectScene select;
    select.players = 1;
    game->onFrame(0.1f);
    game->lastElapsed = 0.1f;
    select.frame();
    ShipType* type = game->shipTypes[0];
    EXPECT_NEAR(select.shownGrip, type->grip * 0.4f, 1e-5);
    EXPECT_NEAR(select.shownMaxSpeed, type->maxSpeed * 0.4f, 1e-5);
    EXPECT_NEAR(select.shownLenghtJump, type->lenghtJump * 0.4f, 1e-5);
}

TEST_F(MenuTest, LoadingScreenIsBlackWithItsTextCentred)
{
    ASSERT_TRUE(start());
    game->clearCalls();
    game->loadingScreen->draw();
    const DeviceCall* color = game->find("setClearColor");
    const DeviceCall* clear = game->find("clear");
    ASSERT_NE(color, nullptr);
    ASSERT_NE(clear, nullptr);
    EXPECT_EQ(color->intArg(0), 0);
    EXPECT_EQ(clear->intArg(0), ClearFlags::color);
    EXPECT_GT(game->count("drawTriangle"), 0) << "the text is drawn";
}

TEST_F(MenuTest, TheLoadingScreenShowsOnceWhenTheShipChoiceIsComplete)
{
    ASSERT_TRUE(start());
    press(Key::enter);
    game->onFrame(0.25f);
    game->onKey(Key::enter);
    game->clearCalls();
    game->onFrame(1.0f / 60);
    EXPECT_EQ(game->count("setClearColor"), 1);
    EXPECT_EQ(game->count("setViewport"), 1);
}

TEST_F(MenuTest, BackdropQuadAndPictures)
{
    ASSERT_TRUE(start());
    Backdrop* backdrop = game->backdrop;
    ASSERT_NE(backdrop->quad, nullptr);
    auto* vertices = static_cast<RecordingVertexBuffer*>(backdrop->quad->vertexBuffer());
    auto* indices = static_cast<RecordingIndexBuffer*>(backdrop->quad->indexBuffer());
    ASSERT_EQ(vertices->count(), 4);
    ASSERT_EQ(indices->count(), 6);
    EXPECT_FALSE(vertices->isDynamic());
    const float expected[4][4] = {{-1, 1, 0, 50}, {1, 1, 50, 50}, {-1, -1, 0, 0}, {1, -1, 50, 0}};
    for (int i = 0; i < 4; ++i) {
        const Vertex& v = vertices->vertices()[i];
        EXPECT_EQ(v.x, expected[i][0]);
        EXPECT_EQ(v.y, expected[i][1]);
        EXPECT_EQ(v.z, 0.0f);
        EXPECT_EQ(v.u1, expected[i][2]);
        EXPECT_EQ(v.v1, expected[i][3]);
        EXPECT_EQ(v.color, 0xFFFFFFFFu);
    }
    EXPECT_EQ(indices->indices(), (std::vector<uint32_t>{0, 1, 2, 2, 1, 3}));
    SubMesh* part = backdrop->quad->subMesh(0);
    EXPECT_EQ(part->indexCount(), 6);
    EXPECT_EQ(part->vertexCount(), 4);
    EXPECT_EQ(part->stageState(0, RenderStateType::textureMode), RenderStateValue::textureWrap);
    EXPECT_EQ(part->stageState(0, RenderStateType::blendMode), RenderStateValue::blendAdditive);
    EXPECT_EQ(part->texture(0), backdrop->clouds);

    int textures = liveEntries(game->registry().textures());
    backdrop->setTextures("levels/1/background.png", "pictures/tile.png");
    EXPECT_EQ(liveEntries(game->registry().textures()), textures) << "the old pair is deleted";
    EXPECT_EQ(part->texture(0), backdrop->clouds);

    game->clock = 0.0f;
    backdrop->draw();
    EXPECT_EQ(game->getRenderState(RenderStateType::depthTest), RenderStateValue::depthOff);
    EXPECT_EQ(game->getRenderState(RenderStateType::cullMode), RenderStateValue::cullNone);
    // At t = 0 the quad's centre sits at (1, -0.04, 0) in eye space.
    const float* m = game->modelView().m;
    EXPECT_NEAR(m[3], 1.0f, 1e-6);
    EXPECT_NEAR(m[7], -0.04f, 1e-6);
    EXPECT_NEAR(m[11], 0.0f, 1e-6);
}

TEST_F(MenuTest, ReturningToTheMenuPutsTheMenuPicturesBack)
{
    ASSERT_TRUE(start());
    Texture* menuClouds = game->backdrop->clouds;
    ASSERT_NE(menuClouds, nullptr);
    game->setRecording(false);
    startOnePlayerRace();
    game->ship1->crashed = true;
    game->ship1->crashTime = game->clock - 3.0f;
    game->ship1->lives = 0;
    frame();
    frame();
    ASSERT_EQ(game->scene->getId(), sceneMenuHost);
    auto* background = static_cast<RecordingTexture*>(game->backdrop->background);
    EXPECT_EQ(background->texel(0, 0) & 0xFFFFFF, 0x336699u) << "the menu's picture, not level 0's";
}

namespace {

struct Rect {
    int x0, y0, x1, y1;
};

// Window rectangles of every Texture::draw of `texture` in the call log,
// read back from the corners of the first of its two triangles.
std::vector<Rect> drawnRects(RecordingDevice& device, const Texture* texture)
{
    std::vector<Rect> rects;
    const std::vector<DeviceCall>& calls = device.calls();
    float w = static_cast<float>(device.width());
    float h = static_cast<float>(device.height());
    for (size_t i = 0; i + 1 < calls.size(); ++i) {
        if (!calls[i].is("setTexture") || calls[i].object != texture)
            continue;
        for (size_t j = i + 1; j < calls.size(); ++j) {
            if (!calls[j].is("drawTriangle"))
                continue;
            const Vertex* v = calls[j].vertices;
            rects.push_back(Rect{static_cast<int>(std::lround((v[1].x + 1) * w / 2)),
                                 static_cast<int>(std::lround((1 - v[2].y) * h / 2)),
                                 static_cast<int>(std::lround((v[0].x + 1) * w / 2)),
                                 static_cast<int>(std::lround((1 - v[1].y) * h / 2))});
            break;
        }
    }
    return rects;
}

} // namespace

TEST_F(MenuTest, MainMenuLayoutIn640By480)
{
    ASSERT_TRUE(start());
    MainMenuScene* menu = mainMenu();
    menu->index = 2;
    game->clock = 0.0f; // pulse b = 5
    game->clearCalls();
    menu->frame();
    int line = game->littleFont->lineHeight();
    int row = 240 + 2 * line;

    std::vector<Rect> bar = drawnRects(*game, game->plainTexture);
    ASSERT_EQ(bar.size(), 1u);
    EXPECT_EQ(bar[0].x0, 0);
    EXPECT_EQ(bar[0].y0, row);
    EXPECT_EQ(bar[0].x1, 640);
    EXPECT_EQ(bar[0].y1, row + line);

    std::vector<Rect> cursor = drawnRects(*game, menu->cursor);
    ASSERT_EQ(cursor.size(), 1u);
    EXPECT_EQ(cursor[0].x0, 115 - 5);
    EXPECT_EQ(cursor[0].y0, row - 5 + 1);
    EXPECT_EQ(cursor[0].x1, 115 + menu->cursor->width() + 5);
    EXPECT_EQ(cursor[0].y1, row + 1 + menu->cursor->height() + 5);

    std::vector<Rect> title = drawnRects(*game, game->bigFont->glyph('Q'));
    ASSERT_FALSE(title.empty());
    EXPECT_EQ(title[0].x0, (640 - game->bigFont->textWidth("QUORIN")) / 2);
    EXPECT_EQ(title[0].y0, 120);

    std::vector<Rect> first = drawnRects(*game, game->littleFont->glyph('U'));
    std::vector<Rect> second = drawnRects(*game, game->littleFont->glyph('D'));
    ASSERT_FALSE(first.empty());
    ASSERT_FALSE(second.empty());
    EXPECT_EQ(first[0].x0, 160);
    EXPECT_EQ(first[0].y0, 240);
    EXPECT_EQ(second[0].x0, 160);
    EXPECT_EQ(second[0].y0, 240 + line);
}

TEST_F(MenuTest, ShipSelectionLayoutIn640By480)
{
    ASSERT_TRUE(start());
    press(Key::enter);
    ShipSelectScene* select = shipSelect();
    game->clearCalls();
    select->frame();
    int line = game->littleFont->lineHeight();

    std::vector<Rect> title = drawnRects(*game, game->bigFont->glyph('C'));
    ASSERT_FALSE(title.empty());
    EXPECT_EQ(title[0].x0, (640 - game->bigFont->textWidth("CHOISIS TON VAISSEAU")) / 2);
    EXPECT_EQ(title[0].y0, 80);

    std::vector<Rect> label = drawnRects(*game, game->littleFont->glyph('N'));
    ASSERT_FALSE(label.empty());
    EXPECT_EQ(label[0].x0, 106);
    EXPECT_EQ(label[0].y0, 120);

    // The first gauge's first cell, a square of line - 2 pixels.
    std::vector<Rect> cells = drawnRects(*game, select->cellTexture);
    ASSERT_EQ(cells.size(), 3u) << "one filled cell per gauge while the values start at 0";
    EXPECT_EQ(cells[0].x0, 106);
    EXPECT_EQ(cells[0].y0, 120 + 4 * line);
    EXPECT_EQ(cells[0].x1, 106 + line - 2);
    EXPECT_EQ(cells[0].y1, 120 + 5 * line - 2);
    EXPECT_EQ(cells[2].y0, 120 + 10 * line);

    std::vector<Rect> bottom = drawnRects(*game, game->littleFont->glyph('J'));
    ASSERT_FALSE(bottom.empty());
    EXPECT_EQ(bottom.back().x0, (640 - game->littleFont->textWidth("Joueur 1 : fleches")) / 2);
    EXPECT_EQ(bottom.back().y0, 420);
}
