#include "RaceView.h"

#include "Backdrop.h"
#include "Device.h"
#include "Font.h"
#include "Game.h"
#include "GameProjection.h"
#include "Level.h"
#include "RenderState.h"
#include "Ship.h"
#include "ShipType.h"
#include "SoundManager.h"
#include "Texture.h"
#include "TileType.h"

#include <cmath>
#include <cstdio>

// Rows of track drawn ahead of the ship.
static const int visibleRows = 40;

static const std::string countdownTexts[4] = {"3", "2", "1", "GO!"};
static const std::string crashedText = "PERDU!";
static const std::string lastLifeText = "MISSION KO!";

RaceView::RaceView()
{
    for (int i = 0; i < 4; ++i) {
        countdownFlags[i] = 0;
        countdownPlayedAt[i] = -1.0f;
    }
}

RaceView* createRaceView()
{
    return new RaceView();
}

void RaceView::draw(int viewType, Ship* ship)
{
    Game* game = Game::instance();
    const int w = game->width();
    const int h = game->height();
    switch (viewType) {
    case viewWhole:
        game->setViewport(0, 0, w, h);
        break;
    case viewTop:
        game->setViewport(0, 0, w, h / 2);
        break;
    case viewBottom:
        game->setViewport(0, h / 2, w, h / 2);
        break;
    default:
        break;
    }
    if (game->backdrop)
        game->backdrop->draw();
    if (ship && game->level) {
        drawScene(ship);
        drawHud(ship);
    }
    game->setViewport(0, 0, w, h);
}

void RaceView::drawScene(Ship* ship)
{
    Game* game = Game::instance();
    Level* level = game->level;
    const float cell = TileType::size();

    game->clear(ClearFlags::depth);

    loadGameProjection();
    game->pushMatrix();
    game->setRenderState(RenderStateType::cullMode, RenderStateValue::cullCounterClockwise);
    game->setRenderState(RenderStateType::depthTest, RenderStateValue::depthLess);

    // The row the ship is on and how far into it the ship is, in (0, cell]
    // for any distance past the start line.
    const int firstRow = static_cast<int>(ship->distance / cell);
    float offset = ship->distance;
    if (offset > cell) {
        offset = std::fmod(offset, cell);
        if (offset <= 0.0f)
            offset += cell;
    }

    // The eye: on the ship's centre line, a little above the track.
    game->popMatrix();
    game->pushMatrix();
    game->translate(-(ship->x + 0.05f), -0.05f, offset);

    const int columns = Level::columnCount();
    for (int i = 0; i < visibleRows && firstRow + i < level->rowCount(); ++i) {
        game->translate(0.0f, 0.0f, -cell);
        game->pushMatrix();
        game->rotate(-90.0f, 1.0f, 0.0f, 0.0f);
        for (int c = 0; c < columns; ++c) {
            game->translate(cell, 0.0f, 0.0f);
            if (TileType* type = level->findTileType(level->tileAt(c, firstRow + i)))
                type->draw();
        }
        game->popMatrix();
    }

    // The ship, bobbing gently.
    const float t = game->clock;
    const float a = std::sin(2.8f * t);
    const float bobX = 0.003f * a;
    const float bobY = 0.003f * (std::cos(1.7f * t) + 1.0f);
    ShipType* type = ship->type;
    const float scale = type ? type->scale : 1.0f;
    const float side = (ship->x - Level::columnCount() * 0.5f * cell) * scale;
    game->popMatrix();
    game->translate(side + bobX, ship->height + bobY - 0.028f, -0.11f);
    game->rotate(2.0f * std::sin(1.9f * t), 1.0f, 0.0f, 0.0f);
    game->rotate(2.0f * a, 0.0f, 1.0f, 0.0f);
    game->rotate(2.5f * std::sin(1.7f * t), 0.0f, 0.0f, 1.0f);
    game->scale(scale, scale, scale);
    if (type) {
        type->setEnvMap(level->shipEnvmap);
        type->draw();
    }
}

void RaceView::drawCentred(const std::string& text)
{
    Game* game = Game::instance();
    Font* big = game->bigFont;
    if (!big)
        return;
    big->drawText((game->width() - big->textWidth(text)) / 2, (game->height() - big->lineHeight()) / 2, text);
}

static void formatFigure(std::string& out, const char* format, int value)
{
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, format, value);
    out.assign(buffer);
}

void RaceView::drawHud(Ship* ship)
{
    Game* game = Game::instance();
    Level* level = game->level;
    Font* little = game->littleFont;
    const int w = game->width();
    const int h = game->height();
    const int lh = little ? little->lineHeight() : 0;
    const float cell = TileType::size();

    // Top bar.
    game->setRenderState(RenderStateType::blendMode, RenderStateValue::blendMultiplicative);
    Texture* hud = game->hudTexture;
    const int hudWidth = hud ? hud->width() : 0;
    if (hudWidth > 0) {
        for (int x = 0; x < w; x += hudWidth)
            hud->drawAt(x, 0);
    }

    // Progress strip and bottom panel.
    Texture* plain = game->plainTexture;
    const int rows = level->rowCount();
    const float progress = rows > 0 ? (ship->distance / cell) / static_cast<float>(rows) : 0.0f;
    const int stripX = static_cast<int>(static_cast<float>(w - 8) * progress);
    game->setRenderState(RenderStateType::blendMode, RenderStateValue::blendAlpha);
    if (plain) {
        plain->draw(stripX, 0, stripX + 8, hud ? hud->height() : 0, 0.0f, 0.0f, 1.0f, 1.0f);
        plain->draw(0, h - 2 * lh, w, h, 0.0f, 0.0f, 1.0f, 1.0f);
    }
    game->setRenderState(RenderStateType::blendMode, RenderStateValue::blendOff);

    // Countdown: each step plays its sound once per ship and re-arms the
    // step before for that ship.
    const float c = ship->raceClock;
    int step = -1;
    if (c >= -3.0f && c < -2.0f)
        step = 0;
    else if (c >= -2.0f && c < -1.0f)
        step = 1;
    else if (c >= -1.0f && c < 0.0f)
        step = 2;
    else if (c >= 0.0f && c < 1.0f)
        step = 3;
    else if (c >= 1.0f && c < 2.0f)
        step = 4;
    const unsigned char shipBit = ship == game->ship2 ? 2 : 1;
    if (step >= 1)
        countdownFlags[step - 1] &= static_cast<unsigned char>(~shipBit);
    if (step >= 0 && step <= 3) {
        if (!(countdownFlags[step] & shipBit)) {
            countdownFlags[step] |= shipBit;
            if (countdownPlayedAt[step] != game->clock) {
                countdownPlayedAt[step] = game->clock;
                if (step < 3) {
                    playSound(game->clickValidateSound);
                } else {
                    playSound(game->goSound);
                    playSound(level->music);
                }
            }
        }
        drawCentred(countdownTexts[step]);
    }

    // Figures.
    if (little) {
        formatFigure(scoreText, "SCORE : %d", ship->score);
        formatFigure(jumpsText, "SAUTS : %d", ship->jumpsLeft);
        formatFigure(livesText, "VIES : %d", ship->lives + 1);
        formatFigure(timeText, "TEMPS : %d", ship->raceClock > 0.0f ? static_cast<int>(ship->raceClock) : 0);
        little->drawText(0, h - 2 * lh, scoreText);
        little->drawText(w / 2, h - 2 * lh, jumpsText);
        little->drawText(0, h - lh, livesText);
        little->drawText(w / 2, h - lh, timeText);
    }

    // Falling after a crash.
    if (ship->fallSpeed < 0.0f)
        drawCentred(ship->lives == 0 ? lastLifeText : crashedText);
}
