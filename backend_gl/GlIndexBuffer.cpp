#include "GlIndexBuffer.h"

#include "GlDevice.h"
#include "GlVertexBuffer.h"  // maxBufferElements

#include <GL/glew.h>

#include <cstdio>

GlIndexBuffer::GlIndexBuffer(bool clientMemory, int count)
    : IndexBuffer(clientMemory, count), name_(0), data_(static_cast<size_t>(count_), 0u)
{
    if (!dynamic_) {
        GLuint name = 0;
        glGenBuffersARB(1, &name);
        name_ = name;
    }
}

GlIndexBuffer::~GlIndexBuffer()
{
    if (name_ && GlDevice::contextAlive()) {
        GLuint name = name_;
        glDeleteBuffersARB(1, &name);
    }
}

uint32_t* GlIndexBuffer::lock()
{
    return data_.data();
}

void GlIndexBuffer::unlock()
{
    if (dynamic_)
        return;
    // Indices go through the element binding (through the array binding
    // they would leave vertex arrays pointing into this buffer); the index
    // buffer bound for drawing stays bound.
    GLint bound = 0;
    glGetIntegerv(GL_ELEMENT_ARRAY_BUFFER_BINDING_ARB, &bound);
    glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, name_);
    glBufferDataARB(GL_ELEMENT_ARRAY_BUFFER_ARB,
                    static_cast<GLsizeiptrARB>(data_.size() * sizeof(uint32_t)),
                    data_.data(), GL_STATIC_DRAW_ARB);
    glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, static_cast<GLuint>(bound));
}

GlIndexBuffer* createGlIndexBuffer(bool dynamic, int count)
{
    if (count < 0 || count > maxBufferElements) {
        std::fprintf(stderr, "racer_gl: cannot create an index buffer of %d indices\n", count);
        return nullptr;
    }
    GlDevice* device = GlDevice::current();
    const bool clientMemory = dynamic || !device || !device->useExtensions();
    return new GlIndexBuffer(clientMemory, count);
}
