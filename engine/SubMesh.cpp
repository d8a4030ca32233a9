#include "SubMesh.h"

#include "RenderState.h"

#include <cstdio>

SubMesh::SubMesh()
    : textures_{nullptr, nullptr},
      blendModes_{RenderStateValue::blendOff, RenderStateValue::blendOff},
      textureModes_{RenderStateValue::textureWrap, RenderStateValue::textureWrap},
      startIndex_(0),
      indexCount_(0),
      minVertex_(0),
      vertexCount_(0)
{
}

SubMesh::~SubMesh() = default;

bool SubMesh::validStage(int stage)
{
    if (stage == 0 || stage == 1)
        return true;
    std::fprintf(stderr, "SubMesh: texture stage %d does not exist (0 or 1)\n", stage);
    return false;
}

void SubMesh::setStageState(int stage, int type, int value)
{
    if (!validStage(stage))
        return;
    if (type == RenderStateType::blendMode)
        blendModes_[stage] = value;
    else if (type == RenderStateType::textureMode)
        textureModes_[stage] = value;
}

int SubMesh::stageState(int stage, int type) const
{
    if (!validStage(stage))
        return RenderStateValue::unset;
    if (type == RenderStateType::blendMode)
        return blendModes_[stage];
    if (type == RenderStateType::textureMode)
        return textureModes_[stage];
    return RenderStateValue::unset;
}

void SubMesh::setTexture(int stage, Texture* texture, const std::string& file)
{
    if (!validStage(stage))
        return;
    textures_[stage] = texture;
    textureFiles_[stage] = file;
}

Texture* SubMesh::texture(int stage) const
{
    return validStage(stage) ? textures_[stage] : nullptr;
}

const std::string& SubMesh::textureFile(int stage) const
{
    static const std::string none;
    return validStage(stage) ? textureFiles_[stage] : none;
}

void SubMesh::setRange(int startIndex, int indexCount, int minVertex, int vertexCount)
{
    startIndex_ = startIndex;
    indexCount_ = indexCount;
    minVertex_ = minVertex;
    vertexCount_ = vertexCount;
}

void SubMesh::range(int& startIndex, int& indexCount, int& minVertex, int& vertexCount) const
{
    startIndex = startIndex_;
    indexCount = indexCount_;
    minVertex = minVertex_;
    vertexCount = vertexCount_;
}

int SubMesh::lastStage() const
{
    // Stages count from 0 while they have a texture.
    return (textures_[0] && textures_[1]) ? 1 : 0;
}
