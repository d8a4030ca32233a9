#include "ScriptedD3dDevice.h"

#include "Direct3dHooks.h"

namespace {

// The fixed frame's counter: 2^40 ticks a second, in which any float of
// a millisecond or more is a whole number of ticks.
const int64_t fixedFrequency = int64_t(1) << 40;

} // namespace

ScriptedD3dDevice::Script ScriptedD3dDevice::scriptForNext = nullptr;
ScriptedD3dDevice::Counter ScriptedD3dDevice::counterForNext = nullptr;
int64_t ScriptedD3dDevice::frequencyForNext = 1;
int64_t ScriptedD3dDevice::fixedTicksForNext = 0;

void ScriptedD3dDevice::setScript(Script script)
{
    scriptForNext = script;
}

void ScriptedD3dDevice::setCounter(Counter counter, int64_t frequency)
{
    counterForNext = counter;
    frequencyForNext = frequency;
}

void ScriptedD3dDevice::setFixedFrameTime(uint32_t milliseconds)
{
    const float seconds = static_cast<float>(milliseconds) * 0.001f;
    fixedTicksForNext = static_cast<int64_t>(static_cast<double>(seconds) * static_cast<double>(fixedFrequency));
}

int64_t ScriptedD3dDevice::counterTicks()
{
    if (fixedTicks_) {
        // Before the first frame every reading moves on by a tick, so that
        // the first frame comes; then the frames move it.
        if (frames_ == 0)
            return ++fixedStart_;
        return fixedStart_ + frames_ * fixedTicks_;
    }
    return counter_ ? counter_() : D3dDevice::counterTicks();
}

int64_t ScriptedD3dDevice::counterFrequency()
{
    if (fixedTicks_)
        return fixedFrequency;
    return counter_ ? frequency_ : D3dDevice::counterFrequency();
}

HRESULT ScriptedD3dDevice::frameMove()
{
    if (frames_++ > 0)
        seconds_ += elapsedSeconds();
    if (script_)
        script_(*this, seconds_);
    // The script may have closed the window (requestQuit).
    if (!d3dDevice())
        return S_OK;
    return D3dDevice::frameMove();
}

HRESULT ScriptedD3dDevice::render()
{
    const HRESULT result = D3dDevice::render();
    if (readBackWanted_ && d3dDevice()) {
        readBackWanted_ = false;
        int width = 0;
        const std::vector<uint32_t> pixels = readRenderTarget(d3dDevice(), &width);
        readBack_.width = width;
        readBack_.height = width > 0 ? static_cast<int>(pixels.size() / width) : 0;
        readBack_.rgb.resize(pixels.size() * 3);
        for (size_t i = 0; i < pixels.size(); ++i) {
            readBack_.rgb[i * 3] = static_cast<uint8_t>(pixels[i] >> 16);
            readBack_.rgb[i * 3 + 1] = static_cast<uint8_t>(pixels[i] >> 8);
            readBack_.rgb[i * 3 + 2] = static_cast<uint8_t>(pixels[i]);
        }
        readBackFrame_ = frames_;
    }
    return result;
}
