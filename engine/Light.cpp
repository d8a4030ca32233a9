#include "Light.h"

#include "Device.h"

LightBase::LightBase()
    : desc_()
{
}

LightBase::~LightBase()
{
}

void LightBase::setDesc(const LightDesc& desc)
{
    desc_ = desc;
}

const LightDesc& LightBase::desc() const
{
    return desc_;
}

Light::Light(int index)
    : index_(index)
{
}

Light::~Light()
{
    if (Device* device = Device::instance())
        device->forgetLight(this);
}

Light* createLightObject(int index)
{
    return new Light(index);
}
