#include "D3dDisplayInfo.h"

#include <d3d9.h>

#include <cstdio>

const char* vendorName(uint32_t vendorId)
{
    switch (vendorId) {
    case 0x1002: return "ATI Technologies Inc.";
    case 0x102B: return "Matrox Electronic Systems Ltd.";
    case 0x10DE: return "NVIDIA Corporation";
    case 0x121A: return "3dfx Interactive Inc";
    case 0x5333: return "S3 Graphics Co., Ltd.";
    case 0x8086: return "Intel Corporation";
    default: return "unknown vendor";
    }
}

std::string driverVersionText(uint32_t highPart, uint32_t lowPart)
{
    char text[64];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", highPart >> 16, highPart & 0xFFFFu,
                  lowPart >> 16, lowPart & 0xFFFFu);
    return text;
}

void addDisplayMode(std::vector<DisplayMode>& modes, int width, int height)
{
    for (const DisplayMode& mode : modes) {
        if (mode.width == width && mode.height == height)
            return;
    }
    modes.push_back(DisplayMode{width, height});
}

void fillDisplayInfo(DisplayInfo& info, IDirect3D9* direct3d)
{
    info.apiName = "DirectX";
    info.vendor.clear();
    info.renderer.clear();
    info.version.clear();
    info.extensions.clear();
    info.extensionsAvailable = false;
    info.displayModes.clear();
    if (!direct3d)
        return;

    D3DADAPTER_IDENTIFIER9 identifier = {};
    if (SUCCEEDED(direct3d->GetAdapterIdentifier(0, 0, &identifier))) {
        info.vendor = vendorName(identifier.VendorId);
        info.renderer = identifier.Description;
        info.version = driverVersionText(static_cast<uint32_t>(identifier.DriverVersion.HighPart),
                                         static_cast<uint32_t>(identifier.DriverVersion.LowPart));
    } else {
        std::fprintf(stderr, "racer_d3d: Direct3D does not identify adapter 0\n");
    }
    const UINT count = direct3d->GetAdapterModeCount(0, D3DFMT_X8R8G8B8);
    for (UINT i = 0; i < count; ++i) {
        D3DDISPLAYMODE mode = {};
        if (SUCCEEDED(direct3d->EnumAdapterModes(0, D3DFMT_X8R8G8B8, i, &mode)))
            addDisplayMode(info.displayModes, static_cast<int>(mode.Width), static_cast<int>(mode.Height));
    }
}
