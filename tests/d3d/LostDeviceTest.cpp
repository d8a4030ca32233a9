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
// projection, set once, halves everything. Above them, two quads show
// device states set once, as a game's own state of a level would be: one
// fogged all over to the fog colour, one whose second texture stage
// modulates it by a texture of a white left and a blue right half, read
// with the stage's texture coordinates going twice across it and clamped.
// The frame ends with the render target still bound (as the loss finds
// it), and the next one starts by drawing an ordinary texture, yellow at
// the top and cyan at the bottom, on that stage.
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
    Texture* picture = nullptr;
    Texture* halves = nullptr;
    Light* light = nullptr;
    Light* lamp = nullptr;
    static constexpr uint32_t fogColour = 0xFF00FFu;

    int start() { return run(640, 480, false, title, false, true); }
    int startFullScreen() { return run(640, 480, true, title, false, true); }

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
        uint32_t pixels[8 * 8];
        for (int i = 0; i < 8 * 8; ++i)
            pixels[i] = i < 8 * 4 ? 0xFFFF00u : 0x00FFFFu;   // top row first
        picture = createTexture(false, pixels, 8, 8);
        for (int i = 0; i < 8 * 8; ++i)
            pixels[i] = i % 8 < 4 ? 0xFFFFFFu : 0x0000FFu;
        halves = createTexture(false, pixels, 8, 8);

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
        // A light switched on, at an index that frameMove leaves alone.
        lamp = createLight();
        lamp->setDesc(desc);
        setLight(lamp, true);

        // Fog of the fog colour everywhere (every depth lies beyond its
        // end), where the frame turns it on.
        setFogColor(1.0f, 0.0f, 1.0f);
        setFogStart(-2.0f);
        setFogEnd(-1.0f);
        // Stage 1 modulates everything by the halves texture, clamped, read
        // with the second texture coordinates (which are 0 but in the
        // quad of stage 1). The texture mode first, as a mesh sets them: it
        // takes the stage back to the first coordinates.
        pushRenderStates();
        setTextureStage(1);
        setTexture(halves);
        setRenderState(RenderStateType::textureMode, RenderStateValue::textureClamp);
        setRenderState(RenderStateType::blendMode, RenderStateValue::blendModulate);
        setTextureStage(0);
        popRenderStates();
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
        setTexture(nullptr);
        setVertexBuffer(meshVertices);
        setIndexBuffer(meshIndices);
        drawIndexed(0, 3, 0, 3);
        // Stage 1's quad, top right, and the fogged one, top left.
        drawQuad(0.4f, 1.0f, 1.6f, 1.8f, 2.0f);
        setRenderState(RenderStateType::fogMode, RenderStateValue::fogLinear);
        drawQuad(-1.6f, 1.0f, -0.4f, 1.8f, 0.0f);
        setRenderState(RenderStateType::fogMode, RenderStateValue::fogOff);
        // The picture in the centre, then the render target's quad, right
        // of the centre; it stays bound.
        setTexture(picture);
        drawQuad(-0.3f, -0.8f, 0.3f, 0.8f, 0.0f);
        setTexture(target);
        drawQuad(0.4f, -0.8f, 1.6f, 0.8f, 0.0f);
        frame();
        if (frames == loseAtFrame && lost)
            lost->lose();
        if (frames == framesToRun)
            requestQuit();
    }
    void onShutdown() override { ++shutdowns; }
    int shutdowns = 0;
    virtual void frame() {}

    // A white quad (before the halving projection) through the triangle
    // buffers: the texture shown whole, stage 1's coordinates u from 0 to
    // u2Across.
    void drawQuad(float left, float bottom, float right, float top, float u2Across)
    {
        Vertex quad[4] = {};
        for (int i = 0; i < 4; ++i) {
            const bool rightSide = i >= 2;
            const bool topSide = i % 2 == 1;
            quad[i].x = rightSide ? right : left;
            quad[i].y = topSide ? top : bottom;
            quad[i].z = 0.5f;
            quad[i].color = 0xFFFFFFFFu;
            quad[i].u1 = rightSide ? 1.0f : 0.0f;
            quad[i].v1 = topSide ? 1.0f : 0.0f;
            quad[i].u2 = rightSide ? u2Across : 0.0f;
        }
        drawTriangle(quad);
        drawTriangle(quad + 1);
    }
};

// Where the frame shows what, in clip space (x, y), and the colour.
struct Spot {
    const char* what;
    float x;
    float y;
    uint32_t colour;
};
const Spot frameSpots[] = {
    {"the render target's quad", 0.5f, 0.0f, 0xFF0000u},
    {"the dynamic mesh", -0.5f, -0.2f, 0x00FF00u},
    {"outside everything, halved by the projection", 0.9f, 0.0f, 0x000000u},
    {"the top of the picture", 0.0f, 0.3f, 0xFFFF00u},
    {"the bottom of the picture", 0.0f, -0.3f, 0x00FFFFu},
    {"the fog colour", -0.5f, 0.7f, SameFrameDevice::fogColour},
    {"stage 1 at u 0.25: white", 0.275f, 0.7f, 0xFFFFFFu},
    {"stage 1 at u 0.75: the texture's blue, modulated", 0.425f, 0.7f, 0x0000FFu},
    {"stage 1 at u 1.25: blue, clamped", 0.575f, 0.7f, 0x0000FFu},
};

// Pixels of a frame, with their colour at a point in clip space.
struct Picture {
    std::vector<uint32_t> pixels;
    int pitch = 0;

    void take(IDirect3DDevice9* device) { pixels = readRenderTarget(device, &pitch); }
    uint32_t at(float x, float y) const { return colourAt(pixels, pitch, x, y); }
};

// What the device holds of the states set once.
struct StatesSetOnce {
    DWORD fogColour = 0;
    DWORD fogStart = 0;
    DWORD stage1ColourOperation = 0;
    DWORD stage1AddressU = 0;
    DWORD stage1AddressV = 0;
    BOOL lampOn = FALSE;

    void read(IDirect3DDevice9* device, DWORD lampIndex)
    {
        device->GetRenderState(D3DRS_FOGCOLOR, &fogColour);
        device->GetRenderState(D3DRS_FOGSTART, &fogStart);
        device->GetTextureStageState(1, D3DTSS_COLOROP, &stage1ColourOperation);
        device->GetSamplerState(1, D3DSAMP_ADDRESSU, &stage1AddressU);
        device->GetSamplerState(1, D3DSAMP_ADDRESSV, &stage1AddressV);
        if (FAILED(device->GetLightEnable(lampIndex, &lampOn)))
            lampOn = FALSE;
    }
};

class LostOnceDevice : public SameFrameDevice {
public:
    StatesSetOnce statesBefore;
    StatesSetOnce statesAfter;
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
            statesBefore.read(device, static_cast<DWORD>(lamp->index()));
        } else if (frames == loseAtFrame + 1) {
            referencesAfter = deviceReferences(device);
            resourcesAfter = count;
            lightAfterResult = device->GetLight(static_cast<DWORD>(light->index()), &lightAfter);
            statesAfter.read(device, static_cast<DWORD>(lamp->index()));
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
    // triangle buffers, the dynamic mesh, the picture drawn on the stage
    // that held the render target, the projection, the cull state, the fog
    // and stage 1's states made or set before it, is the frame before it.
    const Picture& before = device.lostFrame;
    const Picture& after = device.frameAfter;
    ASSERT_EQ(before.pixels.size(), 640u * 480u);
    ASSERT_EQ(after.pixels.size(), before.pixels.size());
    for (const Spot& spot : frameSpots) {
        EXPECT_EQ(before.at(spot.x, spot.y), spot.colour) << std::hex << "before the loss: " << spot.what;
        EXPECT_EQ(after.at(spot.x, spot.y), spot.colour) << std::hex << "after the reset: " << spot.what;
    }
    size_t differing = 0;
    for (size_t i = 0; i < before.pixels.size(); ++i)
        differing += (before.pixels[i] & 0xFFFFFFu) != (after.pixels[i] & 0xFFFFFFu);
    EXPECT_EQ(differing, 0u) << "pixels differ after the reset";

    // The states set once are on the device again, as they were.
    const StatesSetOnce& was = device.statesBefore;
    const StatesSetOnce& is = device.statesAfter;
    EXPECT_EQ(was.fogColour, 0xFF000000u | SameFrameDevice::fogColour);
    EXPECT_EQ(is.fogColour, was.fogColour) << "the fog colour";
    EXPECT_EQ(is.fogStart, was.fogStart) << "the fog's start";
    EXPECT_EQ(was.stage1ColourOperation, static_cast<DWORD>(D3DTOP_MODULATE));
    EXPECT_EQ(is.stage1ColourOperation, was.stage1ColourOperation) << "stage 1's colour operation";
    EXPECT_EQ(was.stage1AddressU, static_cast<DWORD>(D3DTADDRESS_CLAMP));
    EXPECT_EQ(is.stage1AddressU, was.stage1AddressU) << "stage 1's address mode";
    EXPECT_EQ(is.stage1AddressV, was.stage1AddressV) << "stage 1's address mode";
    EXPECT_TRUE(was.lampOn);
    EXPECT_TRUE(is.lampOn) << "the light switched on is off";

    // A light the game set is still set.
    ASSERT_EQ(device.lightAfterResult, D3D_OK) << "the light was not set again";
    EXPECT_FLOAT_EQ(device.lightAfter.Diffuse.r, 0.25f);
    EXPECT_FLOAT_EQ(device.lightAfter.Range, 40.0f);
}

namespace {

// Something fails for real at the third frame: the host releases the
// device, shows the failure in its own message box (stderr too) and closes
// the window.
enum class Failure {
    resetRefused,
    deviceBroken,
    presentFails,
    frameFails,
    targetRefusedAfterReset,
    vertexBufferRefusedAfterReset,
    indexBufferRefusedAfterReset,
};

class FailingDevice : public SameFrameDevice {
public:
    Failure failure = Failure::resetRefused;
    std::vector<std::string> reported;
    int renders = 0;
    // When the box came: the device released (the game shut down), the
    // window still there, not above every other.
    bool releasedAtTheBox = false;
    bool windowAtTheBox = false;
    bool topmostAtTheBox = true;
    bool topmostInTheGame = false;

    void reportFailure(const char* text) override
    {
        reported.push_back(text);
        releasedAtTheBox = !d3dDevice() && shutdowns == 1;
        windowAtTheBox = window() != nullptr;
        topmostAtTheBox = window() && (GetWindowLongA(window(), GWL_EXSTYLE) & WS_EX_TOPMOST);
        D3dHost::reportFailure(text);
    }
    void frame() override
    {
        if (frames == 2)
            topmostInTheGame = GetWindowLongA(window(), GWL_EXSTYLE) & WS_EX_TOPMOST;
    }
    void onInit() override
    {
        SameFrameDevice::onInit();
        const LostDevice::Kind refused[] = {LostDevice::Kind::texture, LostDevice::Kind::vertexBuffer,
                                            LostDevice::Kind::indexBuffer};
        if (failure >= Failure::targetRefusedAfterReset) {
            lost->cooperativeAnswers = {D3DERR_DEVICENOTRESET};
            lost->refusedAfterReset =
                refused[static_cast<int>(failure) - static_cast<int>(Failure::targetRefusedAfterReset)];
        } else if (failure == Failure::resetRefused) {
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
        {Failure::targetRefusedAfterReset, "a render target refused after the reset",
         "The Direct3D device was reset, but a render-target texture of 64 x 64 pixels cannot be made again "
         "(Direct3D error 0x8876017C)"},
        {Failure::vertexBufferRefusedAfterReset, "a dynamic vertex buffer refused after the reset",
         "The Direct3D device was reset, but a vertex buffer of 3 vertices cannot be made again "
         "(Direct3D error 0x8876017C)"},
        {Failure::indexBufferRefusedAfterReset, "a dynamic index buffer refused after the reset",
         "The Direct3D device was reset, but an index buffer of 3 indices cannot be made again "
         "(Direct3D error 0x8876017C)"},
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
        EXPECT_TRUE(device.releasedAtTheBox) << "the box came before the device was released";
        EXPECT_TRUE(device.windowAtTheBox);
        if (c.failure >= Failure::targetRefusedAfterReset) {
            EXPECT_EQ(device.lost->realResets, std::vector<HRESULT>{D3D_OK});
            EXPECT_EQ(device.lost->refusedCreations, 1);
        }
        ASSERT_TRUE(answerer.seen()) << "no message box";
        EXPECT_EQ(answerer.text(), c.told);
    }
}

namespace {

// The screen is locked while the game starts: the Direct3D object's
// CreateDevice answers as planned, each planned answer a minute of the
// clock, before the real one answers.
class LockedAtStartDevice : public SameFrameDevice {
public:
    std::vector<HRESULT> creationAnswers;
    std::unique_ptr<LostAtCreation> creation;
    std::vector<std::string> reported;
    int inits = 0;
    // The player closes the window at this planned answer (1 the first).
    int closeAtAnswer = -1;

    HRESULT oneTimeSceneInit() override
    {
        creation.reset(new LostAtCreation(direct3d()));
        creation->answers = creationAnswers;
        creation->atPlannedAnswer = [this] {
            now += 60000;
            if (static_cast<int>(creation->callTimes.size()) == closeAtAnswer)
                PostMessageA(window(), WM_CLOSE, 0, 0);
        };
        return SameFrameDevice::oneTimeSceneInit();
    }
    void onInit() override
    {
        ++inits;
        SameFrameDevice::onInit();
        loseAtFrame = -1;
    }
    void reportFailure(const char* text) override
    {
        reported.push_back(text);
        D3dHost::reportFailure(text);
    }
};

} // namespace

TEST(D3dLostDevice, ADeviceLostAtCreationIsWaitedForAndOtherRefusalsAreShown)
{
    const char refused[] = "The Direct3D 9 device cannot be created (Direct3D error 0x8876086A)";
    const struct {
        const char* name;
        std::vector<HRESULT> answers;
        const char* told;   // null: the game runs
    } cases[] = {
        {"lost three times", {D3DERR_DEVICELOST, D3DERR_DEVICELOST, D3DERR_DEVICELOST}, nullptr},
        {"lost, then refused", {D3DERR_DEVICELOST, D3DERR_NOTAVAILABLE}, refused},
        {"refused", {D3DERR_NOTAVAILABLE}, refused},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LockedAtStartDevice device;
        device.creationAnswers = c.answers;
        MessageBoxAnswerer answerer(title);
        const int result = device.start();
        answerer.wait();
        ASSERT_TRUE(device.creation);
        const LostAtCreation& creation = *device.creation;
        EXPECT_EQ(device.d3dDevice(), nullptr);
        EXPECT_EQ(device.window(), nullptr);
        if (c.told) {
            EXPECT_EQ(result, 1);
            EXPECT_EQ(device.inits, 0);
            EXPECT_EQ(creation.callTimes.size(), c.answers.size()) << "asked again after a refusal";
            ASSERT_EQ(device.reported.size(), 1u);
            EXPECT_EQ(device.reported[0], c.told);
            ASSERT_TRUE(answerer.seen()) << "no message box";
            EXPECT_EQ(answerer.text(), c.told);
            continue;
        }
        EXPECT_EQ(result, 0);
        EXPECT_FALSE(answerer.seen()) << answerer.text();
        EXPECT_TRUE(device.reported.empty()) << device.reported[0];
        ASSERT_EQ(creation.realAnswers, std::vector<HRESULT>{D3D_OK}) << "the device was never made";
        ASSERT_EQ(creation.callTimes.size(), 4u);
        EXPECT_GE(creation.callTimes.back() - creation.callTimes.front(), 250u)
            << "asked again at once, not after a pause";
        EXPECT_EQ(device.inits, 1);
        EXPECT_EQ(device.frames, device.framesToRun) << "the game did not run";
        // Three minutes passed before the device came; no frame saw them.
        for (size_t i = 0; i < device.elapsed.size(); ++i)
            EXPECT_LT(device.elapsed[i], 0.5f) << "frame " << i + 1 << " was given the time before the device came";
    }
}

TEST(D3dLostDevice, AWindowClosedWhileWaitingForTheDeviceEndsTheGameNormally)
{
    LockedAtStartDevice device;
    device.creationAnswers = std::vector<HRESULT>(100, D3DERR_DEVICELOST);
    device.closeAtAnswer = 2;
    EXPECT_EQ(device.start(), 0);
    EXPECT_TRUE(device.reported.empty()) << device.reported[0];
    ASSERT_TRUE(device.creation);
    EXPECT_EQ(device.creation->callTimes.size(), 2u) << "the device was asked for after the window closed";
    EXPECT_EQ(device.inits, 0);
    EXPECT_EQ(device.window(), nullptr);
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

// Needs a screen of 640 x 480, as the test above.
TEST(D3dLostDevice, AFullScreenGameThatFailsGivesTheScreenBackBeforeItsMessageBox)
{
    if (!std::getenv("QUORIN_FULLSCREEN_SCREEN"))
        GTEST_SKIP() << "needs a screen of 640 x 480 (the test d3d_lost_device_fullscreen)";
    FailingDevice device;
    device.failure = Failure::frameFails;
    device.framesToRun = 20;
    MessageBoxAnswerer answerer(title);
    const int result = device.startFullScreen();
    answerer.wait();
    EXPECT_EQ(result, 1);
    EXPECT_EQ(device.frames, 3);
    ASSERT_TRUE(answerer.seen()) << "no message box";
    ASSERT_TRUE(device.topmostInTheGame) << "the full-screen window was not above every other";
    EXPECT_TRUE(device.releasedAtTheBox) << "the box came before the device was released";
    EXPECT_FALSE(device.topmostAtTheBox) << "the box came while the game held the screen";
}
