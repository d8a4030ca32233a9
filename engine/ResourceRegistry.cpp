#include "ResourceRegistry.h"

#include "IndexBuffer.h"
#include "Light.h"
#include "Texture.h"
#include "VertexBuffer.h"

namespace {

template <typename T>
void forgetFirst(std::vector<T*>& list, T* object)
{
    for (T*& entry : list) {
        if (entry == object) {
            entry = nullptr;
            return;
        }
    }
}

// Deletes every live entry from the front. A destructor forgets its own
// entry (through the current device); the entry is nulled here as well, so
// the list is right even when this registry's device is not the current one.
template <typename T>
void deleteAll(std::vector<T*>& list)
{
    for (size_t i = 0; i < list.size(); ++i) {
        T* object = list[i];
        if (object) {
            list[i] = nullptr;
            delete object;
        }
    }
    std::vector<T*>().swap(list);
}

}

ResourceRegistry::ResourceRegistry()
{
}

ResourceRegistry::~ResourceRegistry()
{
}

void ResourceRegistry::addIndexBuffer(IndexBuffer* buffer) { indexBuffers_.push_back(buffer); }
void ResourceRegistry::addVertexBuffer(VertexBuffer* buffer) { vertexBuffers_.push_back(buffer); }
void ResourceRegistry::addTexture(Texture* texture) { textures_.push_back(texture); }
void ResourceRegistry::addLight(Light* light) { lights_.push_back(light); }

void ResourceRegistry::forgetIndexBuffer(IndexBuffer* buffer) { forgetFirst(indexBuffers_, buffer); }
void ResourceRegistry::forgetVertexBuffer(VertexBuffer* buffer) { forgetFirst(vertexBuffers_, buffer); }
void ResourceRegistry::forgetTexture(Texture* texture) { forgetFirst(textures_, texture); }
void ResourceRegistry::forgetLight(Light* light) { forgetFirst(lights_, light); }

int ResourceRegistry::nextLightIndex() const
{
    int n = static_cast<int>(lights_.size());
    for (int p = 0; p < n; ++p) {
        if (lights_[p])
            continue;
        bool used = false;
        for (const Light* light : lights_)
            if (light && light->index() == p)
                used = true;
        if (!used)
            return p;
    }
    return n;
}

Light* ResourceRegistry::createLight()
{
    Light* light = createLightObject(nextLightIndex());
    lights_.push_back(light);
    return light;
}

void ResourceRegistry::releaseAll()
{
    deleteAll(indexBuffers_);
    deleteAll(vertexBuffers_);
    deleteAll(textures_);
    deleteAll(lights_);
}
