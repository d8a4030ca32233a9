// The known scene of the OpenGL scene test drawn through D3dDevice, checked
// against the same table of pixels; where Direct3D 9 differs, the table
// says by how much and why.
#include "AllocationCounter.h"
#include "D3dDevice.h"
#include "SceneChecks.h"
#include "TestScene.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class SceneDevice : public D3dDevice {
public:
    TestScene scene;
    int frames = 0;
    int framesToRun = 3;
    std::vector<Rgb> pixels;

    int start() { return run(640, 480, false, "Quorin test", false, true); }
    void onInit() override { scene.create(*this); }
    void onFrame(float) override
    {
        ++frames;
        frame();
        if (frames == framesToRun) {
            readChecks();
            requestQuit();
        }
    }
    virtual void frame() { scene.draw(*this); }

    void readChecks()
    {
        IDirect3DDevice9* device = d3dDevice();
        IDirect3DSurface9* target = nullptr;
        IDirect3DSurface9* copy = nullptr;
        D3DSURFACE_DESC desc = {};
        device->GetRenderTarget(0, &target);
        target->GetDesc(&desc);
        device->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format, D3DPOOL_SYSTEMMEM, &copy, nullptr);
        D3DLOCKED_RECT locked = {};
        if (SUCCEEDED(device->GetRenderTargetData(target, copy)) &&
            SUCCEEDED(copy->LockRect(&locked, nullptr, D3DLOCK_READONLY))) {
            for (int i = 0; i < sceneCheckCount; ++i) {
                const unsigned char* row = static_cast<const unsigned char*>(locked.pBits) + sceneChecks[i].y * locked.Pitch;
                const unsigned char* p = row + 4 * sceneChecks[i].x;   // B, G, R, X
                pixels.push_back(Rgb{p[2], p[1], p[0]});
            }
            copy->UnlockRect();
        }
        copy->Release();
        target->Release();
    }
};

} // namespace

TEST(D3dScene, DrawsTheKnownSceneThroughTheDeviceOperations)
{
    SceneDevice device;
    ASSERT_EQ(device.start(), 0);
    ASSERT_EQ(device.pixels.size(), static_cast<size_t>(sceneCheckCount));
    for (int i = 0; i < sceneCheckCount; ++i) {
        const SceneCheck& check = sceneChecks[i];
        const Rgb& expected = check.direct3d ? check.direct3d->expected : check.expected;
        const int tolerance = check.direct3d ? check.direct3d->tolerance : sceneTolerance;
        EXPECT_TRUE(nearRgb(device.pixels[i], expected, tolerance))
            << check.what << " at (" << check.x << ", " << check.y << "): " << rgbText(device.pixels[i])
            << ", expected " << rgbText(expected) << " within " << tolerance
            << (check.direct3d ? std::string(" (") + check.direct3d->why + ")" : std::string());
    }
}

namespace {

// Frames 1-4 warm up (the render-state stack and the matrix stack reach
// their depth); frames 5-30, the whole host loop turn included, are
// counted: enough blend and texture-mode sets to outgrow any list that
// kept them.
class CountingSceneDevice : public SceneDevice {
public:
    long allocations = -1;
    long allocationsBefore = 0;
    void frame() override
    {
        if (frames == 5)
            allocationsBefore = allocationCount();
        scene.draw(*this);
        if (frames == framesToRun)
            allocations = allocationCount() - allocationsBefore;
    }
};

} // namespace

TEST(D3dScene, SteadyFramesAllocateNothing)
{
    ASSERT_TRUE(allocationCounterCounts());
    CountingSceneDevice device;
    device.framesToRun = 30;
    ASSERT_EQ(device.start(), 0);
    EXPECT_EQ(device.allocations, 0);
}
