#ifndef QUORIN_SUBMESH_H
#define QUORIN_SUBMESH_H

#include <string>

class Texture;

// One part of a mesh: a contiguous run of the index buffer drawn with its own
// setup of two texture stages. Stage numbers are 0 and 1; the textures are
// not owned.
class SubMesh {
public:
    SubMesh();
    virtual ~SubMesh();

    // Type 4 (blend mode) and 5 (texture mode) are kept per stage; any other
    // type is ignored.
    void setStageState(int stage, int type, int value);
    // The stored value, or RenderStateValue::unset for any other type.
    int stageState(int stage, int type) const;

    // Null is allowed. The texture that was there is not destroyed.
    void setTexture(int stage, Texture* texture, const std::string& file);
    Texture* texture(int stage) const;
    const std::string& textureFile(int stage) const;

    void setRange(int startIndex, int indexCount, int minVertex, int vertexCount);
    void range(int& startIndex, int& indexCount, int& minVertex, int& vertexCount) const;
    int startIndex() const { return startIndex_; }
    int indexCount() const { return indexCount_; }
    int minVertex() const { return minVertex_; }
    int vertexCount() const { return vertexCount_; }

    // Highest stage to set up when drawing: 1 when both stages have a
    // texture, otherwise 0.
    int lastStage() const;

private:
    static bool validStage(int stage);

    Texture* textures_[2];
    std::string textureFiles_[2];
    int blendModes_[2];
    int textureModes_[2];
    int startIndex_;
    int indexCount_;
    int minVertex_;
    int vertexCount_;
};

#endif
