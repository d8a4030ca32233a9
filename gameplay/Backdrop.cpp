#include "Backdrop.h"

#include "ContentError.h"
#include "Game.h"
#include "GameProjection.h"

#include "IndexBuffer.h"
#include "Mesh.h"
#include "RenderState.h"
#include "SubMesh.h"
#include "Texture.h"
#include "VertexBuffer.h"

#include <cmath>

namespace {

// The clouds quad: corners and first texture pair; the picture repeats 50
// times across it in each direction.
const float quadCorners[4][4] = {
    {-1.0f, 1.0f, 0.0f, 50.0f},
    {1.0f, 1.0f, 50.0f, 50.0f},
    {-1.0f, -1.0f, 0.0f, 0.0f},
    {1.0f, -1.0f, 50.0f, 0.0f},
};
const uint32_t quadIndices[6] = {0, 1, 2, 2, 1, 3};

Texture* loadPicture(const std::string& path, const char* what)
{
    Texture* texture = loadTexture(false, path, true);
    if (!texture)
        ContentError::report("cannot load the " + std::string(what) + " picture \"" + path + "\"");
    return texture;
}

} // namespace

Backdrop* createBackdrop()
{
    Backdrop* backdrop = new Backdrop();
    backdrop->quad = new Mesh();

    VertexBuffer* vertices = createVertexBuffer(false, 4);
    if (Vertex* v = vertices->lock()) {
        for (int i = 0; i < 4; ++i) {
            v[i].x = quadCorners[i][0];
            v[i].y = quadCorners[i][1];
            v[i].z = 0.0f;
            v[i].u1 = quadCorners[i][2];
            v[i].v1 = quadCorners[i][3];
        }
    }
    vertices->unlock();
    backdrop->quad->setVertexBuffer(vertices);

    IndexBuffer* indices = createIndexBuffer(false, 6);
    if (uint32_t* index = indices->lock()) {
        for (int i = 0; i < 6; ++i)
            index[i] = quadIndices[i];
    }
    indices->unlock();
    backdrop->quad->setIndexBuffer(indices);

    SubMesh* part = backdrop->quad->addSubMesh();
    part->setRange(0, indices->count(), 0, vertices->count());
    part->setStageState(0, RenderStateType::textureMode, RenderStateValue::textureWrap);
    part->setStageState(0, RenderStateType::blendMode, RenderStateValue::blendAdditive);
    return backdrop;
}

Backdrop::~Backdrop()
{
    delete background;
    delete clouds;
    // The mesh does not own its buffers; the backdrop made them, so it
    // deletes them rather than leaving them to the device's final release.
    if (quad) {
        delete quad->vertexBuffer();
        delete quad->indexBuffer();
    }
    delete quad;
}

void Backdrop::setTextures(const std::string& backgroundPath, const std::string& cloudsPath)
{
    delete background;
    background = loadPicture(backgroundPath, "background");
    delete clouds;
    clouds = loadPicture(cloudsPath, "clouds");
    if (quad && quad->subMesh(0))
        quad->subMesh(0)->setTexture(0, clouds, "");
}

void Backdrop::draw()
{
    Game* game = Game::instance();
    float t = game->clock;
    loadGameProjection();
    if (background)
        background->draw(0, 0, game->width(), game->height(), 0, 0, 1, 1);
    game->translate(std::cos(0.15f * t), -0.04f, std::sin(0.1f * t));
    game->rotate(-90.0f, 1, 0, 0);
    game->scale(5, 5, 5);
    game->setRenderState(RenderStateType::depthTest, RenderStateValue::depthOff);
    game->setRenderState(RenderStateType::cullMode, RenderStateValue::cullNone);
    if (quad)
        quad->draw();
}
