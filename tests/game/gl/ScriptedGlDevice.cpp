#include "ScriptedGlDevice.h"

#include <GL/gl.h>

#include <cstring>

ScriptedGlDevice::Script ScriptedGlDevice::scriptForNext = nullptr;
uint32_t ScriptedGlDevice::fixedMillisecondsForNext = 0;

void ScriptedGlDevice::setScript(Script script)
{
    scriptForNext = script;
}

void ScriptedGlDevice::setFixedFrameTime(uint32_t milliseconds)
{
    fixedMillisecondsForNext = milliseconds;
}

uint32_t ScriptedGlDevice::ticks()
{
    // Read once a frame, before the frame begins.
    ticksOfFrame_ = fixedMilliseconds_ ? static_cast<uint32_t>(frames_) * fixedMilliseconds_ : GlDevice::ticks();
    return ticksOfFrame_;
}

void ScriptedGlDevice::beginFrame()
{
    // The frame clock's own sum: the same seconds the game is given.
    if (frames_++ > 0)
        seconds_ += static_cast<float>(static_cast<uint32_t>(ticksOfFrame_ - lastTicks_)) * 0.001f;
    lastTicks_ = ticksOfFrame_;
    GlDevice::beginFrame();
    if (script_)
        script_(*this, seconds_);
}

void ScriptedGlDevice::endFrame()
{
    if (readBackWanted_) {
        readBackWanted_ = false;
        const int w = width();
        const int h = height();
        std::vector<uint8_t> bottomFirst(static_cast<size_t>(w) * h * 3);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadBuffer(GL_BACK);
        glReadPixels(0, 0, w, h, GL_RGB, GL_UNSIGNED_BYTE, bottomFirst.data());
        readBack_.width = w;
        readBack_.height = h;
        readBack_.rgb.resize(bottomFirst.size());
        const size_t row = static_cast<size_t>(w) * 3;
        for (int y = 0; y < h; ++y)
            std::memcpy(&readBack_.rgb[y * row], &bottomFirst[(h - 1 - y) * row], row);
        readBackFrame_ = frames_;
    }
    GlDevice::endFrame();
}
