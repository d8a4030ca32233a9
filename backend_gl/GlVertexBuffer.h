#ifndef QUORIN_GLVERTEXBUFFER_H
#define QUORIN_GLVERTEXBUFFER_H

#include "VertexBuffer.h"

#include <cstdint>
#include <vector>

// Most elements one vertex or index buffer may hold (a larger request is
// refused rather than allocated).
const int maxBufferElements = 1 << 22;

// A vertex buffer of racer_gl. It keeps a full copy of its vertices; a
// static buffer created while the extensions are in use is also an ARB
// buffer object that unlock fills, every other one is read by OpenGL
// straight from the copy (isDynamic answers true for those).
class GlVertexBuffer : public VertexBuffer {
public:
    // Use createGlVertexBuffer.
    GlVertexBuffer(bool clientMemory, int count);
    ~GlVertexBuffer() override;
    Vertex* lock() override;
    void unlock() override;

    uint32_t name() const { return name_; }
    const Vertex* data() const { return data_.data(); }

private:
    uint32_t name_;
    std::vector<Vertex> data_;
};

// A new buffer of count vertices, each opaque white. It lives in client
// memory when dynamic or when the current device does not use extensions.
// Null, with a message on stderr, for a negative or too large count.
GlVertexBuffer* createGlVertexBuffer(bool dynamic, int count);

#endif
