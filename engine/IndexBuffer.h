#ifndef QUORIN_INDEXBUFFER_H
#define QUORIN_INDEXBUFFER_H

#include <cstdint>

// A device buffer of 32-bit indices, absolute into the bound vertex buffer.
class IndexBuffer {
public:
    // Removes the buffer from the current device's registry.
    virtual ~IndexBuffer();
    virtual bool isDynamic();
    virtual int count();
    virtual uint32_t* lock() = 0;
    virtual void unlock() = 0;

protected:
    IndexBuffer(bool dynamic, int count);

    bool dynamic_;
    int count_;
};

IndexBuffer* createIndexBuffer(bool dynamic, int count);

#endif
