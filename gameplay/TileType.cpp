#include "TileType.h"

#include "Device.h"
#include "Game.h"
#include "IndexBuffer.h"
#include "Mesh.h"
#include "SubMesh.h"
#include "RenderState.h"
#include "Texture.h"
#include "VertexBuffer.h"

// Flat tile: x across, y along the track, z out of the floor.
static const float quadCorners[4][5] = {
    // x, y, z, u, v
    {-0.05f, 0.05f, 0.0f, 0.0f, 1.0f},
    {0.05f, 0.05f, 0.0f, 1.0f, 1.0f},
    {-0.05f, -0.05f, 0.0f, 0.0f, 0.0f},
    {0.05f, -0.05f, 0.0f, 1.0f, 0.0f},
};

// The six faces of the cube, four corners (x, y, z) each.
static const float cubeFaceTable[6][12] = {
    {-0.05f, 0.05f, 0.0f, 0.05f, 0.05f, 0.0f, -0.05f, -0.05f, 0.0f, 0.05f, -0.05f, 0.0f},
    {0.05f, 0.05f, 0.0f, 0.05f, 0.05f, 0.035f, 0.05f, -0.05f, 0.0f, 0.05f, -0.05f, 0.035f},
    {0.05f, 0.05f, 0.035f, -0.05f, 0.05f, 0.035f, 0.05f, -0.05f, 0.035f, -0.05f, -0.05f, 0.035f},
    {-0.05f, 0.05f, 0.035f, -0.05f, 0.05f, 0.0f, -0.05f, -0.05f, 0.035f, -0.05f, -0.05f, 0.0f},
    {0.05f, -0.05f, 0.0f, 0.05f, -0.05f, 0.035f, -0.05f, -0.05f, 0.0f, -0.05f, -0.05f, 0.035f},
    {-0.05f, 0.05f, 0.0f, -0.05f, 0.05f, 0.035f, 0.05f, 0.05f, 0.0f, 0.05f, 0.05f, 0.035f},
};

static const float cubeCornerUv[4][2] = {{0.0f, 0.0f}, {1.0f, 0.0f}, {0.0f, 1.0f}, {1.0f, 1.0f}};

static void setPosition(Vertex& v, float x, float y, float z, float u, float vv)
{
    v.x = x;
    v.y = y;
    v.z = z;
    v.u1 = u;
    v.v1 = vv;
    v.u2 = u;
    v.v2 = vv;
}

TileType::TileType(int id, const std::string& picture)
    : tileId(id), tileMesh(nullptr), tileTexture(nullptr)
{
    if (id == tileHole)
        return;
    // A level built without pictures (tools, tests) passes no name.
    if (!picture.empty())
        tileTexture = loadTexture(false, picture, true);
    if (id == tileCube)
        buildTileCube();
    else
        buildTileQuad();
}

TileType::~TileType()
{
    delete tileTexture;
    // The mesh does not own its buffers; the tile type made them, so it
    // deletes them: otherwise every level played would leave its tile
    // buffers on the device until the program ends.
    if (tileMesh) {
        delete tileMesh->vertexBuffer();
        delete tileMesh->indexBuffer();
    }
    delete tileMesh;
}

TileType* createTileType(int id, const std::string& picture)
{
    return new TileType(id, picture);
}

void TileType::draw()
{
    if (tileId == tileHole || !tileMesh)
        return;
    Device::instance()->setRenderState(RenderStateType::cullMode,
                                       tileId == tileCube ? RenderStateValue::cullClockwise
                                                          : RenderStateValue::cullCounterClockwise);
    tileMesh->draw();
}

void TileType::buildTileQuad()
{
    tileMesh = new Mesh();

    VertexBuffer* vertices = createVertexBuffer(false, 4);
    if (Vertex* v = vertices->lock()) {
        for (int i = 0; i < 4; ++i)
            setPosition(v[i], quadCorners[i][0], quadCorners[i][1], quadCorners[i][2], quadCorners[i][3],
                        quadCorners[i][4]);
        vertices->unlock();
    }
    tileMesh->setVertexBuffer(vertices);

    IndexBuffer* indices = createIndexBuffer(false, 6);
    if (uint32_t* ix = indices->lock()) {
        const uint32_t order[6] = {0, 1, 2, 2, 1, 3};
        for (int i = 0; i < 6; ++i)
            ix[i] = order[i];
        indices->unlock();
    }
    tileMesh->setIndexBuffer(indices);

    SubMesh* part = tileMesh->addSubMesh();
    part->setRange(0, indices->count(), 0, vertices->count());
    part->setStageState(0, RenderStateType::blendMode, RenderStateValue::blendOff);
    part->setStageState(0, RenderStateType::textureMode, RenderStateValue::textureClamp);
    part->setTexture(0, tileTexture, "");
    part->setStageState(1, RenderStateType::blendMode, RenderStateValue::blendModulate);
    part->setStageState(1, RenderStateType::textureMode, RenderStateValue::textureWrap);
    part->setTexture(1, Game::instance()->detailTexture, "");
}

void TileType::buildTileCube()
{
    tileMesh = new Mesh();
    VertexBuffer* vertices = createVertexBuffer(false, 24);
    IndexBuffer* indices = createIndexBuffer(false, 36);
    Texture* detail = Game::instance()->detailTexture;

    for (int f = 0; f < 6; ++f) {
        SubMesh* part = tileMesh->addSubMesh();
        part->setRange(6 * f, 6, 4 * f, 4);
        part->setStageState(0, RenderStateType::textureMode, RenderStateValue::textureClamp);
        part->setTexture(0, tileTexture, "");
        part->setStageState(1, RenderStateType::blendMode, RenderStateValue::blendModulate);
        part->setStageState(1, RenderStateType::textureMode, RenderStateValue::textureWrap);
        part->setTexture(1, detail, "");

        if (Vertex* v = vertices->lock()) {
            for (int k = 0; k < 4; ++k) {
                const float* corner = &cubeFaceTable[f][3 * k];
                setPosition(v[4 * f + k], corner[0], corner[1], corner[2], cubeCornerUv[k][0], cubeCornerUv[k][1]);
            }
            vertices->unlock();
        }
    }

    if (uint32_t* ix = indices->lock()) {
        for (uint32_t f = 0; f < 6; ++f) {
            const uint32_t base = 4 * f;
            const uint32_t face[6] = {base, base + 1, base + 2, base + 2, base + 1, base + 3};
            for (int i = 0; i < 6; ++i)
                ix[6 * f + i] = face[i];
        }
        indices->unlock();
    }

    tileMesh->setVertexBuffer(vertices);
    tileMesh->setIndexBuffer(indices);
}
