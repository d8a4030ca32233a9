#include "ScriptedD3dDevice.h"

ScriptedD3dDevice::Script ScriptedD3dDevice::scriptForNext = nullptr;

void ScriptedD3dDevice::setScript(Script script)
{
    scriptForNext = script;
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
