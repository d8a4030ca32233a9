#include "RaceScene.h"

#include "Device.h"
#include "Game.h"
#include "LoadingScreen.h"
#include "RaceView.h"
#include "Ship.h"

// Out for good: the last life is lost and the fall is over.
static bool raceOver(const Ship* ship)
{
    return ship->finished || (ship->isOut() && ship->lives < 0);
}

RaceScene::RaceScene()
    : raceView(createRaceView()), done(false)
{
}

RaceScene::~RaceScene()
{
    delete raceView;
}

void RaceScene::frame()
{
    Game* game = Game::instance();
    Ship* ship1 = game->ship1;
    Ship* ship2 = game->ship2;

    if (ship1) {
        ship1->update();
        raceView->draw(ship2 ? viewTop : viewWhole, ship1);
    }
    if (ship2) {
        ship2->update();
        raceView->draw(viewBottom, ship2);
    }

    if (ship1 && raceOver(ship1) && (!ship2 || raceOver(ship2))) {
        done = true;
        if (game->loadingScreen)
            game->loadingScreen->draw();
    }
}

void RaceScene::onKey(int key)
{
    Game* game = Game::instance();
    if (game->ship1)
        game->ship1->onKey(key);
    if (game->ship2) {
        switch (key) {
        case Key::leftControl:
            game->ship2->onKey(Key::space);
            break;
        case Key::letterV:
            game->ship2->onKey(Key::right);
            break;
        case Key::letterX:
            game->ship2->onKey(Key::left);
            break;
        default:
            break;
        }
    }
}
