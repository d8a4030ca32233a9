#include "Level.h"

#include "Backdrop.h"
#include "ContentError.h"
#include "DataFile.h"
#include "FileSystem.h"
#include "Game.h"
#include "SoundHandle.h"
#include "SoundManager.h"
#include "Texture.h"
#include "TileType.h"
#include "XmlDocument.h"
#include "XmlNode.h"

// The tile types of every level, with the element naming each picture.
struct TileTypeRow
{
    int id;
    char element[32];
};

static const TileTypeRow tileTypeTable[6] = {
    {tileHole, ""},
    {tileSlow, "tileSlow"},
    {tileNormal, "tileNormal"},
    {tileFast, "tileFast"},
    {tileVeryFast, "tileVeryFast"},
    {tileCube, "cube"},
};

void Level::readTrack(const char* bytes, std::size_t size, std::vector<int>& grid)
{
    for (std::size_t i = 0; i < size; ++i) {
        switch (bytes[i]) {
        case '0':
        case 's':
            grid.push_back(tileHole);
            break;
        case 'S':
            grid.push_back(tileSlow);
            break;
        case 'X':
            grid.push_back(tileNormal);
            break;
        case 'F':
            grid.push_back(tileFast);
            break;
        case 'f':
            grid.push_back(tileVeryFast);
            break;
        case 'C':
            grid.push_back(tileCube);
            break;
        default:
            break;
        }
    }
}

Level::Level(int levelIndex)
    : jumpCount(0), speed(0.0f), music(nullptr), shipEnvmap(nullptr), loaded(false)
{
    Game* game = Game::instance();
    const std::string where = "levels/level " + std::to_string(levelIndex);
    const int errorsBefore = ContentError::count();

    XmlNode* root = game->content ? game->content->root() : nullptr;
    if (!root) {
        fail("no content description to build " + where + " from");
        return;
    }
    XmlNode* levels = contentElement(root, "levels", "content");
    if (!levels)
        return;
    XmlNode* node = nullptr;
    if (levelIndex >= 0 && levelIndex < levels->childCount())
        node = levels->child(static_cast<unsigned>(levelIndex));
    if (!node || node->type() != XmlNode::elementNode) {
        fail("\"levels\" has no element number " + std::to_string(levelIndex));
        return;
    }

    // Track.
    const std::string trackName = contentText(node, "track", where);
    if (trackName.empty())
        return;
    DataFile* track = openFile(trackName);
    if (!track) {
        fail(where + ": track file \"" + trackName + "\" is missing");
        return;
    }
    readTrack(reinterpret_cast<const char*>(track->data()), static_cast<std::size_t>(track->size()), grid);
    delete track;
    if (rowCount() == 0) {
        fail(where + ": track file \"" + trackName + "\" holds no complete row of nine cells");
        return;
    }

    // Backdrop pictures for the race.
    const std::string background = contentText(node, "background", where);
    const std::string clouds = contentText(node, "clouds", where);
    if (background.empty() || clouds.empty())
        return;
    if (game->backdrop)
        game->backdrop->setTextures(background, clouds);

    const std::string envmap = contentText(node, "shipEnvmap", where);
    if (envmap.empty())
        return;
    shipEnvmap = loadTexture(false, envmap, true);
    if (!shipEnvmap) {
        fail(where + ": picture \"" + envmap + "\" (shipEnvmap) cannot be loaded");
        return;
    }

    std::string pictures[6];
    for (int i = 0; i < 6; ++i) {
        if (tileTypeTable[i].element[0] == '\0')
            continue;
        pictures[i] = contentText(node, tileTypeTable[i].element, where);
        if (pictures[i].empty())
            return;
    }
    buildTileTypes(pictures);
    for (int i = 1; i < 6; ++i) {
        if (!tileTypes[i]->texture()) {
            fail(where + ": picture \"" + pictures[i] + "\" (" + tileTypeTable[i].element + ") cannot be loaded");
            return;
        }
    }

    speed = contentFloat(node, "speed", where);
    jumpCount = contentInt(node, "jumpCount", where);

    const std::string musicName = contentText(node, "music", where);
    if (musicName.empty())
        return;
    DataFile* musicFile = openFile(musicName);
    if (!musicFile) {
        fail(where + ": music file \"" + musicName + "\" is missing");
        return;
    }
    music = loadSound(musicFile);
    delete musicFile;

    loaded = ContentError::count() == errorsBefore;
}

Level::Level(const std::string& track, float levelSpeed, int levelJumpCount)
    : jumpCount(levelJumpCount), speed(levelSpeed), music(nullptr), shipEnvmap(nullptr), loaded(true)
{
    readTrack(track.data(), track.size(), grid);
    const std::string noPictures[6];
    buildTileTypes(noPictures);
}

Level::~Level()
{
    delete shipEnvmap;
    if (music) {
        stopSound(music);
        delete music;
    }
    for (TileType* type : tileTypes)
        delete type;
    tileTypes.clear();
    grid.clear();
}

void Level::buildTileTypes(const std::string pictures[6])
{
    for (int i = 0; i < 6; ++i)
        tileTypes.push_back(createTileType(tileTypeTable[i].id, pictures[i]));
}

bool Level::fail(const std::string& what)
{
    ContentError::report(what);
    loaded = false;
    return false;
}

int Level::tileAt(int column, int row) const
{
    if (column < 0 || column >= columnCount() || row < 0 || row >= rowCount())
        return tileHole;
    return grid[static_cast<std::size_t>(row) * 9 + static_cast<std::size_t>(column)];
}

TileType* Level::findTileType(int id) const
{
    for (TileType* type : tileTypes) {
        if (type && type->id() == id)
            return type;
    }
    return nullptr;
}

Level* createLevel(int levelIndex)
{
    Level* level = new Level(levelIndex);
    if (!level->isLoaded()) {
        delete level;
        return nullptr;
    }
    return level;
}
