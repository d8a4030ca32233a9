#ifndef QUORIN_TILE_TYPE_H
#define QUORIN_TILE_TYPE_H

#include <string>

class Mesh;
class Texture;

// Tile-type ids as stored in a level's grid.
enum TileId
{
    tileHole = 0,
    tileSlow = 1,
    tileNormal = 2,
    tileFast = 3,
    tileVeryFast = 4,
    tileCube = 5
};

// One kind of track cell with the geometry and picture that draw it. Id 0
// (the hole) owns nothing and draws nothing; ids 1 to 4 are flat quads, id 5
// a low cube over the whole cell.
class TileType
{
public:
    // For any id but 0, loads the picture (a missing picture leaves
    // texture() null; the level reports it) and builds the mesh.
    TileType(int id, const std::string& picture);
    virtual ~TileType();

    int id() const { return tileId; }
    Mesh* mesh() const { return tileMesh; }
    Texture* texture() const { return tileTexture; }

    // Edge of one track cell in world units, the same for every type.
    static float size() { return 0.1f; }

    // Sets the culling for the shape and draws the mesh in the current
    // transform; the hole draws nothing.
    void draw();

private:
    TileType(const TileType&) = delete;
    TileType& operator=(const TileType&) = delete;

    void buildTileQuad();
    void buildTileCube();

    int tileId;
    Mesh* tileMesh;
    Texture* tileTexture;
};

TileType* createTileType(int id, const std::string& picture);

#endif
