#ifndef QUORIN_GLINDEXBUFFER_H
#define QUORIN_GLINDEXBUFFER_H

#include "IndexBuffer.h"

#include <cstdint>
#include <vector>

// An index buffer of racer_gl, kept like GlVertexBuffer: a full copy, and
// an ARB element buffer object when static and the extensions are in use.
class GlIndexBuffer : public IndexBuffer {
public:
    // Use createGlIndexBuffer.
    GlIndexBuffer(bool clientMemory, int count);
    ~GlIndexBuffer() override;
    uint32_t* lock() override;
    void unlock() override;

    uint32_t name() const { return name_; }

private:
    uint32_t name_;
    std::vector<uint32_t> data_;
};

// A new buffer of count indices, all 0. Null, with a message on stderr, for
// a negative or too large count.
GlIndexBuffer* createGlIndexBuffer(bool dynamic, int count);

#endif
