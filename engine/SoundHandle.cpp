#include "SoundHandle.h"

#include "SoundManager.h"

SoundHandle::SoundHandle()
    : manager_(nullptr)
{
}

SoundHandle::~SoundHandle()
{
    if (manager_)
        manager_->forget(this);
}
