#include "InstructionsScene.h"

#include "ContentError.h"
#include "Game.h"

#include "Font.h"
#include "SoundManager.h"
#include "XmlNode.h"

InstructionsScene::InstructionsScene()
{
    XmlNode* language = Game::instance()->languageNode();
    title = contentText(language, "instructionsTitle", "languages/french");
    XmlNode* list = contentElement(language, "instructions", "languages/french");
    for (int i = 0; list && i < list->childCount(); ++i) {
        XmlNode* line = list->child(i);
        XmlNode* text = line->childCount() > 0 ? line->child(0) : nullptr;
        lines.push_back(text ? text->text() : std::string());
    }
}

void InstructionsScene::onKey(int key)
{
    if (key == Key::enter || key == Key::space) {
        done = true;
        playSound(Game::instance()->clickValidateSound);
    }
}

void InstructionsScene::frame()
{
    Game* game = Game::instance();
    int w = game->width();
    int h = game->height();
    Font* big = game->bigFont;
    Font* little = game->littleFont;
    if (!big || !little)
        return;
    big->drawText((w - big->textWidth(title)) / 2, h / 16, title);
    int y = h / 4;
    for (const std::string& line : lines) {
        if (!line.empty())
            little->drawText((w - little->textWidth(line)) / 2, y, line);
        y += little->lineHeight();
    }
}
