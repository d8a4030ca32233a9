// Track files: the bytes become a level (tile types without pictures, over
// the game's recording device: the tile types ask the game for its detail
// picture). Every cell read back is a known tile type, and the grid holds
// whole rows plus at most one incomplete row.
#include "FuzzSupport.h"
#include "Game.h"
#include "Level.h"

#include <memory>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Game* game = [] {
        Game* g = Game::instance();
        g->setRecording(false);
        g->resetRenderStates();
        return g;
    }();
    std::unique_ptr<Level> level(new Level(std::string(reinterpret_cast<const char*>(data), size), 1.0f, 3));
    const int rows = level->rowCount();
    fuzzCheck(static_cast<size_t>(rows) * 9 <= level->grid.size() &&
              level->grid.size() < (static_cast<size_t>(rows) + 1) * 9);
    for (int row = -1; row <= rows; ++row) {
        for (int column = -1; column <= 9; ++column) {
            int tile = level->tileAt(column, row);
            fuzzCheck(tile >= 0 && tile <= 5);
            fuzzCheck(level->findTileType(tile) != nullptr);
        }
    }
    level.reset();
    game->registry().releaseAll();
    return 0;
}
