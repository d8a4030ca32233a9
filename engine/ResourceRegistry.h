#ifndef QUORIN_RESOURCEREGISTRY_H
#define QUORIN_RESOURCEREGISTRY_H

#include <vector>

class IndexBuffer;
class VertexBuffer;
class Texture;
class Light;

// The four resource lists every device keeps. A create appends; a forget
// nulls the first entry equal to the object (entries are never removed, so a
// list only grows until releaseAll).
class ResourceRegistry {
public:
    ResourceRegistry();
    // Deletes nothing: the device calls releaseAll at shutdown.
    ~ResourceRegistry();

    void addIndexBuffer(IndexBuffer* buffer);
    void addVertexBuffer(VertexBuffer* buffer);
    void addTexture(Texture* texture);
    void addLight(Light* light);

    void forgetIndexBuffer(IndexBuffer* buffer);
    void forgetVertexBuffer(VertexBuffer* buffer);
    void forgetTexture(Texture* texture);
    void forgetLight(Light* light);

    // The light index Device::createLight gives: the first null position p
    // that no live light uses as its index, else the list's length.
    int nextLightIndex() const;
    // A new light at nextLightIndex, appended to the light list.
    Light* createLight();

    // Deletes every live object of the index-buffer, vertex-buffer, texture
    // and light lists, in that order, and empties the four lists.
    void releaseAll();

    const std::vector<IndexBuffer*>& indexBuffers() const { return indexBuffers_; }
    const std::vector<VertexBuffer*>& vertexBuffers() const { return vertexBuffers_; }
    const std::vector<Texture*>& textures() const { return textures_; }
    const std::vector<Light*>& lights() const { return lights_; }

private:
    ResourceRegistry(const ResourceRegistry&) = delete;
    ResourceRegistry& operator=(const ResourceRegistry&) = delete;

    std::vector<IndexBuffer*> indexBuffers_;
    std::vector<VertexBuffer*> vertexBuffers_;
    std::vector<Texture*> textures_;
    std::vector<Light*> lights_;
};

#endif
