#include "ShipSelectScene.h"

#include "ContentError.h"
#include "Game.h"
#include "GameProjection.h"
#include "ShipType.h"

#include "Font.h"
#include "RenderState.h"
#include "SoundManager.h"
#include "Texture.h"
#include "XmlDocument.h"
#include "XmlNode.h"

#include <cmath>

namespace {

// Only the first three ship types can be chosen.
const int choosableTypes = 3;
const int gaugeCells = 21;

ShipType* typeAt(int index)
{
    const std::vector<ShipType*>& types = Game::instance()->shipTypes;
    if (index < 0 || index >= static_cast<int>(types.size()))
        return nullptr;
    return types[index];
}

} // namespace

ShipSelectScene::ShipSelectScene()
{
    Game* game = Game::instance();
    players = 0;
    index = 0;
    player1ShipType = typeAt(0);
    player2ShipType = nullptr;
    shownGrip = shownMaxSpeed = shownLenghtJump = 0.0f;
    choosingPlayer2 = 0;
    cellTexture = createBlankTexture(false, 1, 1);
    if (cellTexture) {
        if (uint32_t* texels = cellTexture->lock())
            texels[0] = 0x80808080u;
        cellTexture->unlock();
    }
    XmlNode* root = game->content ? game->content->root() : nullptr;
    XmlNode* menu = contentElement(root, "menu", "content.xml");
    std::string envMapPath = contentText(menu, "shipEnvmap", "menu");
    if (!envMapPath.empty()) {
        envMap = loadTexture(false, envMapPath, true);
        if (!envMap)
            ContentError::report("cannot load the ship environment map \"" + envMapPath + "\"");
    }
    done = false;

    XmlNode* language = game->languageNode();
    const std::string where = "languages/french";
    aloneTitle = contentText(language, "selectShipAloneTitle", where);
    player1Title = contentText(language, "selectShipPlayer1Title", where);
    player2Title = contentText(language, "selectShipPlayer2Title", where);
    nameLabel = contentText(language, "name", where);
    gripLabel = contentText(language, "grip", where);
    maxSpeedLabel = contentText(language, "maxSpeed", where);
    lenghtJumpLabel = contentText(language, "lenghtJump", where);
    player1Line = contentText(language, "instructionsPlayer1", where);
    player2Line = contentText(language, "instructionsPlayer2", where);
}

ShipSelectScene::~ShipSelectScene()
{
    delete cellTexture;
    delete envMap;
}

int ShipSelectScene::lastIndex() const
{
    int count = static_cast<int>(Game::instance()->shipTypes.size());
    int last = (count < choosableTypes ? count : choosableTypes) - 1;
    return last < 0 ? 0 : last;
}

void ShipSelectScene::onKey(int key)
{
    Game* game = Game::instance();
    switch (key) {
    case Key::left:
        if (index - 1 < 0)
            index = 0;
        else {
            --index;
            playSound(game->clickSelectSound);
        }
        break;
    case Key::right:
        if (index + 1 > lastIndex())
            index = lastIndex();
        else {
            ++index;
            playSound(game->clickSelectSound);
        }
        break;
    case Key::enter:
    case Key::space:
    case Key::leftControl:
        playSound(game->clickValidateSound);
        if (choosingPlayer2)
            done = true;
        else if (players == 1) {
            done = true;
            return;
        } else
            choosingPlayer2 = 1;
        break;
    default:
        break;
    }
    // The chooser's type is always the one on screen.
    if (choosingPlayer2)
        player2ShipType = typeAt(index);
    else
        player1ShipType = typeAt(index);
}

void ShipSelectScene::drawGauge(int x, int y, float value, int cell)
{
    Game* game = Game::instance();
    // Truncated toward zero; a value far out of range (or not a number) is
    // held to a row that still fits an int and a sane number of cells.
    float tenths = value * 10.0f;
    int n;
    if (std::isnan(tenths) || tenths <= -1.0f)
        n = -1;
    else if (tenths >= 100.0f)
        n = 100;
    else
        n = static_cast<int>(tenths);
    int filled = n >= 0 ? 2 * n + 1 : 0;
    int total = filled > gaugeCells ? filled : gaugeCells;
    for (int i = 0; i < total; ++i) {
        Texture* texture = i < filled ? cellTexture : game->plainTexture;
        if (!texture)
            continue;
        int left = x + i * cell;
        texture->draw(left, y, left + cell - 2, y + cell - 2, 0, 0, 1, 1);
    }
}

void ShipSelectScene::frame()
{
    Game* game = Game::instance();
    float t = game->clock;
    float dt = game->lastElapsed;
    int w = game->width();
    int h = game->height();
    ShipType* shown = choosingPlayer2 ? player2ShipType : player1ShipType;
    Font* big = game->bigFont;
    Font* little = game->littleFont;
    if (!shown || !big || !little)
        return;

    shown->setEnvMap(envMap);
    shownGrip += (shown->grip - shownGrip) * dt * 4.0f;
    shownMaxSpeed += (shown->maxSpeed - shownMaxSpeed) * dt * 4.0f;
    shownLenghtJump += (shown->lenghtJump - shownLenghtJump) * dt * 4.0f;

    game->clear(ClearFlags::depth);
    loadGameProjection();
    game->translate(0.009f * std::sin(0.7f * t), 0.009f * std::cos(t), -0.05f);
    game->rotate(20.0f * std::sin(t), 1, 0, 0);
    game->rotate(30.0f * t - 90.0f, 0, 1, 0);
    game->rotate(20.0f * std::cos(0.8f * t), 0, 0, 1);
    game->scale(shown->scale, shown->scale, shown->scale);
    game->setRenderState(RenderStateType::depthTest, RenderStateValue::depthLess);
    shown->draw();

    const std::string& title = players == 1 ? aloneTitle : choosingPlayer2 ? player2Title : player1Title;
    big->drawText((w - big->textWidth(title)) / 2, h / 6, title);

    int x = w / 6;
    int y = h / 4;
    int line = little->lineHeight();
    little->drawText(x, y, nameLabel);
    little->drawText(x, y + line, shown->name);
    little->drawText(x, y + 3 * line, gripLabel);
    drawGauge(x, y + 4 * line, shownGrip, line);
    little->drawText(x, y + 6 * line, maxSpeedLabel);
    drawGauge(x, y + 7 * line, shownMaxSpeed, line);
    little->drawText(x, y + 9 * line, lenghtJumpLabel);
    drawGauge(x, y + 10 * line, shownLenghtJump, line);

    const std::string& bottom = choosingPlayer2 ? player2Line : player1Line;
    little->drawText((w - little->textWidth(bottom)) / 2, h - h / 8, bottom);
}
