// A lost Direct3D device on a real Wine device: its Present answers
// D3DERR_DEVICELOST as when Windows locks the screen, TestCooperativeLevel
// and Reset answer as each test plans (tests/d3d/Direct3dHooks.h), and the
// real Reset does the work. Reset refuses while any default-pool object or
// a reference to the screen surface lives, so its success shows that
// nothing of the default pool was kept.
#include "D3dDevice.h"
#include "D3dTexture.h"
#include "Direct3dHooks.h"
#include "IndexBuffer.h"
#include "Light.h"
#include "Matrix4.h"
#include "RenderState.h"
#include "Texture.h"
#include "Vertex.h"
#include "VertexBuffer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

const char title[] = "Quorin test";

// Draws the same frame each time from objects made once: a quad showing a
// render-target texture that each frame clears to red (through the
// triangle buffers), and a green mesh on dynamic buffers, counter-clockwise
// on the screen, which only the cull state set once keeps visible. The
// projection, set once, halves everything.
class SameFrameDevice : public D3dDevice {
public:
    int64_t now = 0;
    int frames = 0;
    int framesToRun = 6;
    int loseAtFrame = 3;
    std::vector<float> elapsed;
    std::unique_ptr<LostDevice> lost;
    VertexBuffer* meshVertices = nullptr;
    IndexBuffer* meshIndices = nullptr;
    Texture* target = nullptr;
    Light* light = nullptr;

    int start() { return run(640, 480, false, title, false, true); }

    // The host's clock runs on this counter, a millisecond a reading.
    int64_t counterTicks() override { return ++now; }
    int64_t counterFrequency() override { return 1000; }

    void onInit() override
    {
        meshVertices = createVertexBuffer(true, 3);
        Vertex* v = meshVertices->lock();
        // Counter-clockwise on the screen, left of the centre.
        const float corners[3][2] = {{-1.6f, -0.8f}, {-0.4f, -0.8f}, {-1.0f, 0.8f}};
        for (int i = 0; i < 3; ++i) {
            v[i].x = corners[i][0];
            v[i].y = corners[i][1];
            v[i].z = 0.5f;
            v[i].color = 0xFF00FF00u;
        }
        meshVertices->unlock();
        meshIndices = createIndexBuffer(true, 3);
        uint32_t* index = meshIndices->lock();
        for (int i = 0; i < 3; ++i)
            index[i] = static_cast<uint32_t>(i);
        meshIndices->unlock();
        target = createTexture(true, nullptr, 64, 64);

        Matrix4 half;
        half.setScale(0.5f, 0.5f, 1.0f);
        setMatrixMode(0);
        loadMatrix(half);
        setMatrixMode(1);
        loadIdentity();
        setRenderState(RenderStateType::cullMode, RenderStateValue::cullNone);
        light = createLight();
        LightDesc desc = {};
        desc.type = 2;
        desc.color[0] = 0.25f;
        desc.range = 40.0f;
        light->setDesc(desc);
        setLight(light, true);
        lost.reset(new LostDevice(d3dDevice()));
    }
    void onFrame(float seconds) override
    {
        elapsed.push_back(seconds);
        ++frames;
        setRenderTarget(target);
        setClearColor(0xFF0000);
        clear(ClearFlags::color);
        setRenderTarget(nullptr);
        setClearColor(0x000000);
        clear(ClearFlags::color | ClearFlags::depth);
        // As the game does each frame (frameMove turns the depth test on).
        setRenderState(RenderStateType::depthTest, RenderStateValue::depthOff);
        // The quad, right of the centre (halved by the projection).
        setTexture(target);
        Vertex quad[4] = {};
        const float corners[4][2] = {{0.4f, -0.8f}, {0.4f, 0.8f}, {1.6f, -0.8f}, {1.6f, 0.8f}};
        for (int i = 0; i < 4; ++i) {
            quad[i].x = corners[i][0];
            quad[i].y = corners[i][1];
            quad[i].z = 0.5f;
            quad[i].color = 0xFFFFFFFFu;
            quad[i].u1 = i < 2 ? 0.0f : 1.0f;
            quad[i].v1 = i % 2 ? 1.0f : 0.0f;
        }
        drawTriangle(quad);
        drawTriangle(quad + 1);
        setTexture(nullptr);
        setVertexBuffer(meshVertices);
        setIndexBuffer(meshIndices);
        drawIndexed(0, 3, 0, 3);
        frame();
        if (frames == loseAtFrame && lost)
            lost->lose();
        if (frames == framesToRun)
            requestQuit();
    }
    void onShutdown() override { ++shutdowns; }
    int shutdowns = 0;
    virtual void frame() {}
};

// Pixels of a frame, with their colour at a point in clip space.
struct Picture {
    std::vector<uint32_t> pixels;
    int pitch = 0;

    void take(IDirect3DDevice9* device) { pixels = readRenderTarget(device, &pitch); }
    uint32_t at(float x, float y) const { return colourAt(pixels, pitch, x, y); }
};

class LostOnceDevice : public SameFrameDevice {
public:
    Picture lostFrame;
    Picture frameAfter;
    ULONG referencesBefore = 0;
    ULONG referencesAfter = 0;
    size_t resourcesBefore = 0;
    size_t resourcesAfter = 0;
    D3DLIGHT9 lightAfter = {};
    HRESULT lightAfterResult = E_FAIL;
    std::vector<std::string> failures;

    void reportFailure(const char* text) override { failures.push_back(text); }
    void onInit() override
    {
        SameFrameDevice::onInit();
        // Lost twice, then to be reset; the first reset finds the device
        // lost again, the second one is Direct3D's own. Each lost answer
        // is a minute of the clock.
        lost->cooperativeAnswers = {D3DERR_DEVICELOST, D3DERR_DEVICELOST, D3DERR_DEVICENOTRESET,
                                    D3DERR_DEVICENOTRESET};
        lost->resetAnswers = {D3DERR_DEVICELOST};
        lost->whileLost = [this] { now += 60000; };
        lost->atLostPresent = [this](IDirect3DDevice9* device) { lostFrame.take(device); };
        lost->atFirstPresentAfterReset = [this](IDirect3DDevice9* device) { frameAfter.take(device); };
    }
    void frame() override
    {
        IDirect3DDevice9* device = d3dDevice();
        const size_t count = resources().vertexBuffers().size() + resources().indexBuffers().size() +
                                 resources().textures().size() + resources().lights().size();
        if (frames == loseAtFrame) {
            referencesBefore = deviceReferences(device);
            resourcesBefore = count;
        } else if (frames == loseAtFrame + 1) {
            referencesAfter = deviceReferences(device);
            resourcesAfter = count;
            lightAfterResult = device->GetLight(static_cast<DWORD>(light->index()), &lightAfter);
        }
    }
};

} // namespace

TEST(D3dLostDevice, TheFrameAfterTheResetIsTheFrameBeforeIt)
{
    LostOnceDevice device;
    ASSERT_EQ(device.start(), 0);
    ASSERT_TRUE(device.failures.empty()) << device.failures[0];
    ASSERT_EQ(device.frames, device.framesToRun) << "the game did not go on after the reset";
    const LostDevice& lost = *device.lost;
    EXPECT_EQ(lost.presentsLost, 1);
    EXPECT_EQ(lost.plannedResets, 1) << "a reset that finds the device lost again is tried again";
    ASSERT_EQ(lost.realResets, std::vector<HRESULT>{D3D_OK})
        << "Direct3D refused the reset: a default-pool object or the screen surface was still held";
    ASSERT_EQ(lost.cooperativeCalls, 4) << "asked while lost, and no more once reset";
    EXPECT_GE(lost.cooperativeTimes.back() - lost.cooperativeTimes.front(), 250u)
        << "the device was asked again at once, not after a pause";

    // Nothing leaked, nothing lost: the same objects, the same references
    // Direct3D counts on the device.
    EXPECT_EQ(device.resourcesAfter, device.resourcesBefore);
    EXPECT_EQ(device.referencesAfter, device.referencesBefore);
    // The frame that quits presents nothing.
    EXPECT_EQ(lost.presentsAfterReset, device.framesToRun - device.loseAtFrame - 1);

    // The clock stood still while the device was lost (four minutes of it).
    for (size_t i = 0; i < device.elapsed.size(); ++i)
        EXPECT_LT(device.elapsed[i], 0.5f) << "frame " << i + 1 << " was given the time the device was lost";

    // The frame drawn right after the reset, from the render target, the
    // triangle buffers, the dynamic mesh, the projection and the cull state
    // made or set before it, is the frame before it.
    const Picture& before = device.lostFrame;
    const Picture& after = device.frameAfter;
    ASSERT_EQ(before.pixels.size(), 640u * 480u);
    ASSERT_EQ(after.pixels.size(), before.pixels.size());
    EXPECT_EQ(before.at(0.5f, 0.0f), 0xFF0000u) << "the render target's quad";
    EXPECT_EQ(before.at(-0.5f, -0.2f), 0x00FF00u) << "the dynamic mesh";
    EXPECT_EQ(before.at(0.9f, 0.0f), 0x000000u) << "outside both, halved by the projection";
    size_t differing = 0;
    for (size_t i = 0; i < before.pixels.size(); ++i)
        differing += (before.pixels[i] & 0xFFFFFFu) != (after.pixels[i] & 0xFFFFFFu);
    EXPECT_EQ(differing, 0u) << "pixels differ after the reset; there: quad " << std::hex << after.at(0.5f, 0.0f)
                             << ", mesh " << after.at(-0.5f, -0.2f) << ", outside " << after.at(0.9f, 0.0f);

    // A light the game set is still set.
    ASSERT_EQ(device.lightAfterResult, D3D_OK) << "the light was not set again";
    EXPECT_FLOAT_EQ(device.lightAfter.Diffuse.r, 0.25f);
    EXPECT_FLOAT_EQ(device.lightAfter.Range, 40.0f);
}

namespace {

// Something fails for real at the third frame: the host shows it in its
// own message box (stderr too) and closes the window.
enum class Failure { resetRefused, deviceBroken, presentFails, frameFails };

class FailingDevice : public SameFrameDevice {
public:
    Failure failure = Failure::resetRefused;
    std::vector<std::string> reported;
    int renders = 0;

    void reportFailure(const char* text) override
    {
        reported.push_back(text);
        D3dHost::reportFailure(text);
    }
    void onInit() override
    {
        SameFrameDevice::onInit();
        if (failure == Failure::resetRefused) {
            lost->cooperativeAnswers = {D3DERR_DEVICENOTRESET};
            lost->resetAnswers = {D3DERR_INVALIDCALL};
        } else if (failure == Failure::deviceBroken) {
            lost->cooperativeAnswers = {D3DERR_DRIVERINTERNALERROR};
        } else if (failure == Failure::presentFails) {
            lost->lostPresentAnswer = D3DERR_DRIVERINTERNALERROR;
        } else {
            loseAtFrame = -1;
        }
    }
    HRESULT render() override
    {
        const HRESULT result = D3dDevice::render();
        if (failure == Failure::frameFails && ++renders == loseAtFrameForFailure)
            return E_FAIL;
        return result;
    }
    static const int loseAtFrameForFailure = 3;
};

} // namespace

TEST(D3dLostDevice, ARealFailureIsShownInAMessageBoxAndEndsTheGameCleanly)
{
    const struct {
        Failure failure;
        const char* name;
        const char* told;
    } cases[] = {
        {Failure::resetRefused, "a reset Direct3D refuses",
         "The Direct3D device was lost and cannot be reset (Direct3D error 0x8876086C)"},
        {Failure::deviceBroken, "a device that stopped working",
         "The Direct3D device stopped working (Direct3D error 0x88760827)"},
        {Failure::presentFails, "a driver failing to show a frame",
         "Direct3D cannot show the game's frame (Direct3D error 0x88760827)"},
        {Failure::frameFails, "a failing frame", "A frame of the game cannot be drawn (Direct3D error 0x80004005)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FailingDevice device;
        device.failure = c.failure;
        device.framesToRun = 20;
        MessageBoxAnswerer answerer(title);
        const int result = device.start();
        answerer.wait();
        EXPECT_EQ(result, 1);
        EXPECT_EQ(device.frames, 3) << "no frame after the failure";
        EXPECT_EQ(device.shutdowns, 1);
        EXPECT_TRUE(device.resources().textures().empty() && device.resources().vertexBuffers().empty() &&
                    device.resources().indexBuffers().empty())
            << "every object released";
        EXPECT_EQ(device.d3dDevice(), nullptr);
        EXPECT_EQ(device.window(), nullptr);
        ASSERT_EQ(device.reported.size(), 1u);
        EXPECT_EQ(device.reported[0], c.told);
        ASSERT_TRUE(answerer.seen()) << "no message box";
        EXPECT_EQ(answerer.text(), c.told);
    }
}

namespace {

// A device that Wine itself loses: a full-screen device whose window goes
// behind another program's (Wine's Direct3D marks the device lost then,
// and "to be reset" once the window is in front again, as Windows does
// for a full-screen game). The other program is a window of a thread of
// its own, which Windows takes for another program.
class FullScreenDevice : public SameFrameDevice {
public:
    static const UINT backMessage = WM_APP + 2;
    std::vector<std::string> failures;
    Picture frameBefore;
    Picture frameAfter;
    int realPresentsLost = 0;
    bool wentBehind = false;
    bool cameBack = false;

    void reportFailure(const char* text) override { failures.push_back(text); }
    int startFullScreen() { return run(640, 480, true, title, false, true); }
    void onInit() override
    {
        SameFrameDevice::onInit();
        loseAtFrame = -1;   // Wine loses it
        lost->atPresent = [this](IDirect3DDevice9* device) {
            if (lost->realResets.empty())
                frameBefore.take(device);
        };
        lost->atFirstPresentAfterReset = [this](IDirect3DDevice9* device) { frameAfter.take(device); };
    }
    void frame() override
    {
        if (frames == 2)
            other_.start();
    }
    void onShutdown() override
    {
        SameFrameDevice::onShutdown();
        other_.stop();
    }
    LRESULT msgProc(HWND w, UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == backMessage) {
            ShowWindow(w, SW_RESTORE);
            SetForegroundWindow(w);
            return 0;
        }
        const LRESULT result = SameFrameDevice::msgProc(w, message, wParam, lParam);
        if (message == WM_ACTIVATEAPP && !wParam && other_.running() && !wentBehind) {
            wentBehind = true;
            now += 60000;   // a minute behind the other program
            PostMessageA(w, backMessage, 0, 0);
        } else if (message == WM_ACTIVATEAPP && wParam && wentBehind) {
            cameBack = true;
        }
        return result;
    }

private:
    // The other program's window, in front while it is made.
    class OtherProgram {
    public:
        ~OtherProgram() { stop(); }
        bool running() const { return thread_.joinable(); }
        void start()
        {
            std::atomic<HWND> made{nullptr};
            thread_ = std::thread([&made, this] {
                threadId_ = GetCurrentThreadId();
                HWND w = CreateWindowA("STATIC", "another program", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200,
                                       100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
                made = w;
                MSG m;
                while (GetMessageA(&m, nullptr, 0, 0) > 0)
                    DispatchMessageA(&m);
                DestroyWindow(w);
            });
            while (!made)
                Sleep(10);
            SetForegroundWindow(made);
        }
        void stop()
        {
            if (!thread_.joinable())
                return;
            PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
            thread_.join();
        }

    private:
        std::thread thread_;
        std::atomic<DWORD> threadId_{0};
    };
    OtherProgram other_;
};

} // namespace

// Needs a screen of 640 x 480 (Xvfb has no other modes): run by the test
// d3d_lost_device_fullscreen, which sets QUORIN_FULLSCREEN_SCREEN.
TEST(D3dLostDevice, AFullScreenDeviceLostBehindAnotherProgramIsResetAndDrawsTheSameFrame)
{
    const bool screenFits = GetSystemMetrics(SM_CXSCREEN) == 640 && GetSystemMetrics(SM_CYSCREEN) == 480;
    if (!std::getenv("QUORIN_FULLSCREEN_SCREEN"))
        GTEST_SKIP() << "needs a screen of 640 x 480 (the test d3d_lost_device_fullscreen)";
    ASSERT_TRUE(screenFits) << "the screen is not 640 x 480";
    FullScreenDevice device;
    device.framesToRun = 6;
    ASSERT_EQ(device.startFullScreen(), 0);
    ASSERT_TRUE(device.failures.empty()) << device.failures[0];
    ASSERT_TRUE(device.wentBehind && device.cameBack) << "the other program did not come in front and go";
    ASSERT_EQ(device.frames, device.framesToRun) << "the game did not go on";
    const LostDevice& lost = *device.lost;
    EXPECT_GE(lost.realPresentsLost, 1) << "Wine did not lose the device";
    EXPECT_GE(lost.cooperativeCalls, 1);
    ASSERT_EQ(lost.realResets, std::vector<HRESULT>{D3D_OK});
    for (size_t i = 0; i < device.elapsed.size(); ++i)
        EXPECT_LT(device.elapsed[i], 0.5f) << "frame " << i + 1 << " was given the time away";
    ASSERT_EQ(device.frameBefore.pixels.size(), 640u * 480u);
    ASSERT_EQ(device.frameAfter.pixels.size(), device.frameBefore.pixels.size());
    EXPECT_EQ(device.frameAfter.at(0.5f, 0.0f), 0xFF0000u) << "the render target's quad";
    EXPECT_EQ(device.frameAfter.at(-0.5f, -0.2f), 0x00FF00u) << "the dynamic mesh";
    size_t differing = 0;
    for (size_t i = 0; i < device.frameBefore.pixels.size(); ++i)
        differing += (device.frameBefore.pixels[i] & 0xFFFFFFu) != (device.frameAfter.pixels[i] & 0xFFFFFFu);
    EXPECT_EQ(differing, 0u);
}
