#include "IndexBuffer.h"

#include "Device.h"

IndexBuffer::IndexBuffer(bool dynamic, int count)
    : dynamic_(dynamic), count_(count < 0 ? 0 : count)
{
}

IndexBuffer::~IndexBuffer()
{
    if (Device* device = Device::instance())
        device->forgetIndexBuffer(this);
}

bool IndexBuffer::isDynamic() { return dynamic_; }
int IndexBuffer::count() { return count_; }

IndexBuffer* createIndexBuffer(bool dynamic, int count)
{
    Device* device = Device::instance();
    return device ? device->createIndexBuffer(dynamic, count) : nullptr;
}
