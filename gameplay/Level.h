#ifndef QUORIN_LEVEL_H
#define QUORIN_LEVEL_H

#include <cstddef>
#include <string>
#include <vector>

class SoundHandle;
class Texture;
class TileType;

// One race track with its assets: the grid read from the track file (nine
// cells across, one tile id per cell), the six tile types, the level's speed
// factor, jump allowance, music and the environment map the ships wear.
class Level
{
public:
    // Builds level number levelIndex of the "levels" section of
    // Game::content. Check isLoaded() afterwards (createLevel does).
    explicit Level(int levelIndex);

    // A level without content assets, for tools and tests: the grid comes
    // from the given track-file bytes, the six tile types are built without
    // pictures, there is no music and no environment map.
    Level(const std::string& track, float speed, int jumpCount);

    ~Level();

    static int columnCount() { return 9; }
    int rowCount() const { return static_cast<int>(grid.size() / 9); }
    // 0 outside the grid (and for the cells of an incomplete last row).
    int tileAt(int column, int row) const;
    TileType* findTileType(int id) const;

    // False when the level's content is missing or broken; the reason has
    // been reported on stderr as a content error.
    bool isLoaded() const { return loaded; }

    // Appends the cells of track-file bytes to a grid: "0" and "s" holes,
    // "S" slow, "X" normal, "F" fast, "f" very fast, "C" cube; every other
    // byte is skipped.
    static void readTrack(const char* bytes, std::size_t size, std::vector<int>& grid);

    int jumpCount;
    std::vector<int> grid;
    float speed;
    std::vector<TileType*> tileTypes;
    SoundHandle* music;
    Texture* shipEnvmap;

private:
    Level(const Level&) = delete;
    Level& operator=(const Level&) = delete;

    void buildTileTypes(const std::string pictures[6]);
    bool fail(const std::string& what);

    bool loaded;
};

// A new level, owned by the caller; null (after a content error on stderr)
// when the level cannot be built: no such level element, a missing element
// or file, or a track without a single complete row.
Level* createLevel(int levelIndex);

#endif
