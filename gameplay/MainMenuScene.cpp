#include "MainMenuScene.h"

#include "ContentError.h"
#include "Game.h"
#include "GameProjection.h"

#include "Font.h"
#include "RenderState.h"
#include "SoundManager.h"
#include "Texture.h"
#include "XmlDocument.h"
#include "XmlNode.h"

#include <cmath>

const int menuChoiceTable[4] = {choiceOnePlayer, choiceTwoPlayers, choiceInstructions, choiceQuit};

namespace {

const int lastRow = 3;

} // namespace

MainMenuScene::MainMenuScene()
{
    Game* game = Game::instance();
    XmlNode* root = game->content ? game->content->root() : nullptr;
    XmlNode* menu = contentElement(root, "menu", "content.xml");
    std::string cursorPath = contentText(menu, "cursor", "menu");
    if (!cursorPath.empty()) {
        cursor = loadTexture(false, cursorPath, true);
        if (cursor)
            cursor->setAlpha(255, true);
        else
            ContentError::report("cannot load the menu cursor picture \"" + cursorPath + "\"");
    }
    index = 0;
    done = false;

    XmlNode* language = game->languageNode();
    title = contentText(language, "gameName", "languages/french");
    XmlNode* list = contentElement(language, "menuItems", "languages/french");
    for (int i = 0; list && i < list->childCount(); ++i) {
        XmlNode* item = list->child(i);
        XmlNode* text = item->childCount() > 0 ? item->child(0) : nullptr;
        items.push_back(text ? text->text() : std::string());
    }
}

MainMenuScene::~MainMenuScene()
{
    delete cursor;
}

void MainMenuScene::onKey(int key)
{
    Game* game = Game::instance();
    switch (key) {
    case Key::up:
        if (index - 1 < 0) {
            index = 0;
            return;
        }
        --index;
        playSound(game->clickSelectSound);
        return;
    case Key::down:
        if (index + 1 > lastRow) {
            index = lastRow;
            return;
        }
        ++index;
        playSound(game->clickSelectSound);
        return;
    case Key::enter:
    case Key::space:
        done = true;
        choice = menuChoiceTable[index];
        playSound(game->clickValidateSound);
        return;
    default:
        return;
    }
}

void MainMenuScene::frame()
{
    Game* game = Game::instance();
    int w = game->width();
    int h = game->height();
    float t = game->clock;
    Font* big = game->bigFont;
    Font* little = game->littleFont;
    if (!big || !little)
        return;

    game->clear(ClearFlags::depth);
    loadGameProjection();

    big->drawText((w - big->textWidth(title)) / 2, h / 4, title);

    int line = little->lineHeight();
    int row = h / 2 + index * line;
    game->setRenderState(RenderStateType::blendMode, RenderStateValue::blendAlpha);
    if (game->plainTexture)
        game->plainTexture->draw(0, row, w, row + line, 0, 0, 1, 1);
    int b = static_cast<int>((std::sin(5.0f * t) + 1.0f) * 5.0f);
    if (cursor) {
        int left = w / 4 - w / 14;
        cursor->draw(left - b, row - b + 1, left + cursor->width() + b, row + 1 + cursor->height() + b,
                     0, 0, 1, 1);
    }
    game->setRenderState(RenderStateType::blendMode, RenderStateValue::blendOff);

    for (int i = 0; i < static_cast<int>(items.size()); ++i)
        little->drawText(w / 4, h / 2 + i * line, items[i]);
}
