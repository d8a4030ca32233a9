#include "ScriptedD3dDevice.h"

ScriptedD3dDevice::Script ScriptedD3dDevice::scriptForNext = nullptr;
ScriptedD3dDevice::Counter ScriptedD3dDevice::counterForNext = nullptr;
int64_t ScriptedD3dDevice::frequencyForNext = 1;

void ScriptedD3dDevice::setScript(Script script)
{
    scriptForNext = script;
}

void ScriptedD3dDevice::setCounter(Counter counter, int64_t frequency)
{
    counterForNext = counter;
    frequencyForNext = frequency;
}

int64_t ScriptedD3dDevice::counterTicks()
{
    return counter_ ? counter_() : D3dDevice::counterTicks();
}

int64_t ScriptedD3dDevice::counterFrequency()
{
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
