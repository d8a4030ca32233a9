#include "VertexBuffer.h"

#include "Device.h"

VertexBuffer::VertexBuffer(bool dynamic, int count)
    : dynamic_(dynamic), count_(count < 0 ? 0 : count)
{
}

VertexBuffer::~VertexBuffer()
{
    if (Device* device = Device::instance())
        device->forgetVertexBuffer(this);
}

bool VertexBuffer::isDynamic() { return dynamic_; }
int VertexBuffer::count() { return count_; }

VertexBuffer* createVertexBuffer(bool dynamic, int count)
{
    Device* device = Device::instance();
    return device ? device->createVertexBuffer(dynamic, count) : nullptr;
}
