#ifndef QUORIN_MESH_H
#define QUORIN_MESH_H

#include <vector>

class SubMesh;
class VertexBuffer;
class IndexBuffer;

// The engine's drawable triangle model: one vertex buffer, one index buffer,
// the bounding box of the vertex positions and an ordered list of parts.
// The mesh owns its parts, not its buffers or textures: those stay with the
// device until it releases all resources.
class Mesh {
public:
    Mesh();
    virtual ~Mesh();

    // A new part with the default stage setup, appended and returned.
    SubMesh* addSubMesh();
    int subMeshCount() const { return static_cast<int>(subMeshes_.size()); }
    // Null (with a message on stderr) outside 0 .. subMeshCount() - 1.
    SubMesh* subMesh(int i) const;

    // Attaches the buffer, which must already hold its vertices, and
    // computes the box and the extents from them (once: later changes to
    // the buffer do not move the box). No vertices give a zero box.
    void setVertexBuffer(VertexBuffer* buffer);
    void setIndexBuffer(IndexBuffer* buffer);
    VertexBuffer* vertexBuffer() const { return vertexBuffer_; }
    IndexBuffer* indexBuffer() const { return indexBuffer_; }

    void getExtents(float& x, float& y, float& z) const;
    const float* boxMin() const { return boxMin_; }
    const float* boxMax() const { return boxMax_; }

    // Draws every part through the current device, each with its texture
    // stages set up; every render state is restored afterwards. A part whose
    // range lies outside the buffers is not drawn.
    void draw();

private:
    Mesh(const Mesh&) = delete;
    Mesh& operator=(const Mesh&) = delete;

    std::vector<SubMesh*> subMeshes_;
    VertexBuffer* vertexBuffer_;
    IndexBuffer* indexBuffer_;
    float boxMin_[3];
    float boxMax_[3];
    float extents_[3];
};

#endif
