#include "Mesh.h"

#include "Device.h"
#include "IndexBuffer.h"
#include "RenderState.h"
#include "SubMesh.h"
#include "VertexBuffer.h"

#include <cstdio>

Mesh::Mesh()
    : vertexBuffer_(nullptr),
      indexBuffer_(nullptr),
      boxMin_{0, 0, 0},
      boxMax_{0, 0, 0},
      extents_{0, 0, 0}
{
}

Mesh::~Mesh()
{
    for (SubMesh* part : subMeshes_)
        delete part;
}

SubMesh* Mesh::addSubMesh()
{
    SubMesh* part = new SubMesh();
    subMeshes_.push_back(part);
    return part;
}

SubMesh* Mesh::subMesh(int i) const
{
    if (i < 0 || i >= subMeshCount()) {
        std::fprintf(stderr, "Mesh: no part %d (the mesh has %d)\n", i, subMeshCount());
        return nullptr;
    }
    return subMeshes_[i];
}

void Mesh::setVertexBuffer(VertexBuffer* buffer)
{
    vertexBuffer_ = buffer;
    for (int axis = 0; axis < 3; ++axis)
        boxMin_[axis] = boxMax_[axis] = extents_[axis] = 0;
    if (!buffer)
        return;
    int count = buffer->count();
    const Vertex* vertices = buffer->lock();
    if (vertices && count > 0) {
        float first[3] = {vertices[0].x, vertices[0].y, vertices[0].z};
        for (int axis = 0; axis < 3; ++axis)
            boxMin_[axis] = boxMax_[axis] = first[axis];
        for (int i = 1; i < count; ++i) {
            float p[3] = {vertices[i].x, vertices[i].y, vertices[i].z};
            for (int axis = 0; axis < 3; ++axis) {
                if (p[axis] < boxMin_[axis])
                    boxMin_[axis] = p[axis];
                if (p[axis] > boxMax_[axis])
                    boxMax_[axis] = p[axis];
            }
        }
    }
    buffer->unlock();
    for (int axis = 0; axis < 3; ++axis)
        extents_[axis] = boxMax_[axis] - boxMin_[axis];
}

void Mesh::setIndexBuffer(IndexBuffer* buffer)
{
    indexBuffer_ = buffer;
}

void Mesh::getExtents(float& x, float& y, float& z) const
{
    x = extents_[0];
    y = extents_[1];
    z = extents_[2];
}

void Mesh::draw()
{
    Device* device = Device::instance();
    if (!device || !vertexBuffer_ || !indexBuffer_)
        return;
    const long long indices = indexBuffer_->count();
    const long long vertices = vertexBuffer_->count();

    device->pushRenderStates();
    device->setVertexBuffer(vertexBuffer_);
    device->setIndexBuffer(indexBuffer_);
    for (SubMesh* part : subMeshes_) {
        if (part->startIndex() < 0 || part->indexCount() < 0 ||
            part->startIndex() + static_cast<long long>(part->indexCount()) > indices ||
            part->minVertex() < 0 || part->vertexCount() < 0 ||
            part->minVertex() + static_cast<long long>(part->vertexCount()) > vertices)
            continue;
        int last = part->lastStage();
        for (int stage = 0; stage <= last; ++stage) {
            device->setTextureStage(stage);
            device->setRenderState(RenderStateType::textureMode,
                                   part->stageState(stage, RenderStateType::textureMode));
            device->setRenderState(RenderStateType::blendMode,
                                   part->stageState(stage, RenderStateType::blendMode));
            device->setTexture(part->texture(stage));
        }
        device->drawIndexed(part->minVertex(), part->vertexCount(),
                            part->startIndex(), part->indexCount());
        for (int stage = 0; stage <= last; ++stage) {
            device->setTextureStage(stage);
            device->setTexture(nullptr);
        }
    }
    device->popRenderStates();
}
