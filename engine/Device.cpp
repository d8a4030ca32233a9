#include "Device.h"

namespace {
Device* currentDevice = nullptr;
}

Device::~Device()
{
    if (currentDevice == this)
        currentDevice = nullptr;
}

Device* Device::instance()
{
    return currentDevice;
}

void Device::setInstance(Device* device)
{
    currentDevice = device;
}
