#include "GameProjection.h"

#include "Game.h"

#include "Matrix4.h"

void loadGameProjection()
{
    Game* game = Game::instance();
    Matrix4 projection;
    projection.setPerspective(0.00001f, 1000.0f, 45.0f,
                              static_cast<float>(game->width()) / static_cast<float>(game->height()));
    game->setMatrixMode(0);
    game->loadMatrix(projection);
    game->setMatrixMode(1);
    game->loadIdentity();
}
