#include "GlVertexBuffer.h"

#include "GlDevice.h"

#include <GL/glew.h>

#include <cstdio>

GlVertexBuffer::GlVertexBuffer(bool clientMemory, int count)
    : VertexBuffer(clientMemory, count), name_(0), data_(static_cast<size_t>(count_))
{
    for (Vertex& vertex : data_)
        vertex.color = 0xFFFFFFFFu;
    if (!dynamic_) {
        GLuint name = 0;
        glGenBuffersARB(1, &name);
        name_ = name;
    }
}

GlVertexBuffer::~GlVertexBuffer()
{
    if (name_ && GlDevice::contextAlive()) {
        GLuint name = name_;
        glDeleteBuffersARB(1, &name);
    }
}

Vertex* GlVertexBuffer::lock()
{
    return data_.data();
}

void GlVertexBuffer::unlock()
{
    if (dynamic_)
        return;
    glBindBufferARB(GL_ARRAY_BUFFER_ARB, name_);
    glBufferDataARB(GL_ARRAY_BUFFER_ARB, static_cast<GLsizeiptrARB>(data_.size() * sizeof(Vertex)),
                    data_.data(), GL_STATIC_DRAW_ARB);
}

GlVertexBuffer* createGlVertexBuffer(bool dynamic, int count)
{
    if (count < 0 || count > maxBufferElements) {
        std::fprintf(stderr, "racer_gl: cannot create a vertex buffer of %d vertices\n", count);
        return nullptr;
    }
    GlDevice* device = GlDevice::current();
    const bool clientMemory = dynamic || !device || !device->useExtensions();
    return new GlVertexBuffer(clientMemory, count);
}
