#ifndef QUORIN_VERTEXBUFFER_H
#define QUORIN_VERTEXBUFFER_H

#include "Vertex.h"

// A device buffer of Vertex records. A new buffer holds the colour
// 0xFFFFFFFF in every vertex.
class VertexBuffer {
public:
    // Removes the buffer from the current device's registry.
    virtual ~VertexBuffer();
    virtual bool isDynamic();
    virtual int count();
    virtual Vertex* lock() = 0;
    virtual void unlock() = 0;

protected:
    VertexBuffer(bool dynamic, int count);

    bool dynamic_;
    int count_;
};

VertexBuffer* createVertexBuffer(bool dynamic, int count);

#endif
