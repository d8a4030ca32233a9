#include "LoadingScreen.h"

#include "ContentError.h"
#include "Game.h"

#include "Font.h"

LoadingScreen::LoadingScreen()
{
    text = contentText(Game::instance()->languageNode(), "loading", "languages/french");
}

void LoadingScreen::draw()
{
    Game* game = Game::instance();
    game->setClearColor(0);
    game->clear(ClearFlags::color);
    Font* font = game->littleFont;
    if (!font)
        return;
    int x = (game->width() - font->textWidth(text)) / 2;
    int y = (game->height() - font->lineHeight()) / 2;
    font->drawText(x, y, text);
}
