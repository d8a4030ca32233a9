// Runs D3dDevice for real: its host's window under Wine, Wine's Direct3D 9
// over Mesa's software OpenGL in Xvfb. Keys are pressed through SendInput,
// the way Windows delivers a player's keys.
#include "Console.h"
#include "D3dDevice.h"
#include "D3dTexture.h"
#include "IndexBuffer.h"
#include "Light.h"
#include "Matrix4.h"
#include "RenderState.h"
#include "Texture.h"
#include "Vertex.h"
#include "VertexBuffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

// A device that runs a few frames of something, then quits.
class TestDevice : public D3dDevice {
public:
    int inits = 0;
    int shutdowns = 0;
    int frames = 0;
    int framesToRun = 3;
    int endFrames = 0;
    std::vector<int> primitivesAtStart;

    int start(int width = 640, int height = 480) { return run(width, height, false, "Quorin test", false, true); }

    void onInit() override { ++inits; }
    void onFrame(float) override
    {
        primitivesAtStart.push_back(primitivesDrawn());
        ++frames;
        frame();
        if (frames == framesToRun)
            requestQuit();
    }
    void onShutdown() override { ++shutdowns; }
    void endFrame() override
    {
        ++endFrames;
        D3dDevice::endFrame();
    }
    virtual void frame() {}
};

// The current render target's pixels, 0xAARRGGBB, row after row.
std::vector<uint32_t> readTarget(IDirect3DDevice9* device, int* width)
{
    std::vector<uint32_t> pixels;
    IDirect3DSurface9* target = nullptr;
    IDirect3DSurface9* copy = nullptr;
    D3DSURFACE_DESC desc = {};
    if (FAILED(device->GetRenderTarget(0, &target)) || FAILED(target->GetDesc(&desc)))
        return pixels;
    device->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format, D3DPOOL_SYSTEMMEM, &copy, nullptr);
    D3DLOCKED_RECT locked = {};
    if (copy && SUCCEEDED(device->GetRenderTargetData(target, copy)) &&
        SUCCEEDED(copy->LockRect(&locked, nullptr, D3DLOCK_READONLY))) {
        pixels.resize(static_cast<size_t>(desc.Width) * desc.Height);
        for (UINT y = 0; y < desc.Height; ++y)
            std::memcpy(&pixels[y * desc.Width], static_cast<char*>(locked.pBits) + y * locked.Pitch,
                        desc.Width * 4);
        copy->UnlockRect();
    }
    if (copy)
        copy->Release();
    target->Release();
    *width = static_cast<int>(desc.Width);
    return pixels;
}

// Level 0 of a Direct3D texture as it is stored, row after row.
std::vector<uint32_t> readTexture(IDirect3DTexture9* texture, D3DSURFACE_DESC* desc)
{
    std::vector<uint32_t> texels;
    D3DLOCKED_RECT locked = {};
    if (FAILED(texture->GetLevelDesc(0, desc)) || FAILED(texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY)))
        return texels;
    texels.resize(static_cast<size_t>(desc->Width) * desc->Height);
    for (UINT y = 0; y < desc->Height; ++y)
        std::memcpy(&texels[y * desc->Width], static_cast<char*>(locked.pBits) + y * locked.Pitch, desc->Width * 4);
    texture->UnlockRect(0);
    return texels;
}

void pressKeys(std::initializer_list<WORD> keys, bool down)
{
    for (WORD key : keys) {
        INPUT input = {};
        if (key == VK_LBUTTON) {
            input.type = INPUT_MOUSE;
            input.mi.dwFlags = down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
        } else {
            input.type = INPUT_KEYBOARD;
            input.ki.wVk = key;
            input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
        }
        SendInput(1, &input, sizeof input);
    }
}

} // namespace

// ------------------------------------------------------------ hooks ---

namespace {

class QuitDevice : public TestDevice {
public:
    bool shutDownInsideRequestQuit = false;
    bool resourcesReleasedInsideRequestQuit = false;
    bool windowGoneInsideRequestQuit = false;
    std::vector<DWORD> offered;
    std::vector<HRESULT> answers;

    HRESULT confirmDevice(const D3DCAPS9& caps, DWORD behavior, D3DFORMAT format) override
    {
        const HRESULT answer = D3dDevice::confirmDevice(caps, behavior, format);
        offered.push_back(behavior);
        answers.push_back(answer);
        return answer;
    }
    void onInit() override
    {
        TestDevice::onInit();
        createTexture(false, nullptr, 4, 4);
        createVertexBuffer(false, 8);
    }
    void frame() override
    {
        if (frames != framesToRun)
            return;
        framesToRun = -1;   // quit here, not in TestDevice::onFrame
        requestQuit();
        shutDownInsideRequestQuit = shutdowns == 1;
        resourcesReleasedInsideRequestQuit = resources().textures().empty() &&
                                             resources().vertexBuffers().empty() &&
                                             resources().indexBuffers().empty();
        windowGoneInsideRequestQuit = !window() && !d3dDevice();
    }
};

} // namespace

TEST(D3dHooks, RequestQuitInsideOnFrameShutsDownBeforeItReturns)
{
    QuitDevice device;
    ASSERT_EQ(device.start(), 0);
    EXPECT_EQ(device.inits, 1);
    EXPECT_EQ(device.shutdowns, 1);
    EXPECT_EQ(device.frames, 3);
    EXPECT_TRUE(device.shutDownInsideRequestQuit);
    EXPECT_TRUE(device.resourcesReleasedInsideRequestQuit);
    EXPECT_TRUE(device.windowGoneInsideRequestQuit);
    EXPECT_EQ(device.endFrames, 2) << "the frame that quit ends no scene";
    for (int primitives : device.primitivesAtStart)
        EXPECT_EQ(primitives, 0);
}

TEST(D3dHooks, APureDeviceIsOfferedAndRefused)
{
    QuitDevice device;
    device.framesToRun = 1;
    ASSERT_EQ(device.start(), 0);
    ASSERT_FALSE(device.offered.empty());
    bool pureOffered = false;
    for (size_t i = 0; i < device.offered.size(); ++i) {
        if (device.offered[i] & D3DCREATE_PUREDEVICE) {
            pureOffered = true;
            EXPECT_EQ(device.answers[i], E_FAIL);
        } else {
            EXPECT_EQ(device.answers[i], S_OK) << std::hex << device.offered[i];
        }
    }
    D3DCAPS9 caps = {};
    IDirect3D9* direct3d = Direct3DCreate9(31);
    ASSERT_NE(direct3d, nullptr);
    direct3d->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps);
    direct3d->Release();
    EXPECT_EQ(pureOffered, (caps.DevCaps & D3DDEVCAPS_PUREDEVICE) != 0);
    EXPECT_FALSE(device.behaviorFlags() & D3DCREATE_PUREDEVICE);
    EXPECT_TRUE(device.behaviorFlags() & D3DCREATE_FPU_PRESERVE);
    EXPECT_TRUE(device.behaviorFlags() & D3DCREATE_HARDWARE_VERTEXPROCESSING) << std::hex << device.behaviorFlags();
}

namespace {

// No device kind is good enough: the host reports it and ends with status 1.
class RefusingDevice : public TestDevice {
public:
    std::vector<std::string> failures;
    HRESULT confirmDevice(const D3DCAPS9&, DWORD, D3DFORMAT) override { return E_FAIL; }
    void reportFailure(const char* text) override { failures.push_back(text); }
};

// The game's content fails while it loads: it asks to quit inside onInit.
class QuitInInitDevice : public TestDevice {
public:
    void onInit() override
    {
        TestDevice::onInit();
        createTexture(false, nullptr, 2, 2);
        requestQuit();
    }
};

} // namespace

TEST(D3dHost, NoUsableDeviceIsReportedAndTheRunFails)
{
    RefusingDevice device;
    EXPECT_EQ(device.start(), 1);
    EXPECT_EQ(device.inits, 0);
    EXPECT_EQ(device.frames, 0);
    ASSERT_EQ(device.failures.size(), 1u);
    EXPECT_NE(device.failures[0].find("No Direct3D 9 device"), std::string::npos) << device.failures[0];
}

TEST(D3dHost, AQuitAskedWhileLoadingEndsBeforeTheFirstFrame)
{
    Console console(nullptr);
    QuitInInitDevice device;
    device.setConsole(&console);
    EXPECT_EQ(device.start(), 0);
    EXPECT_EQ(device.inits, 1);
    EXPECT_EQ(device.shutdowns, 1);
    EXPECT_EQ(device.frames, 0);
    EXPECT_EQ(console.font(), nullptr) << "no console graphics without a device";
    EXPECT_TRUE(device.resources().textures().empty());
}

// ------------------------------------------------------------- input ---

namespace {

class EscapeDevice : public TestDevice {
public:
    std::vector<int> keys;
    int framesAtShutdown = -1;
    bool foreground = false;

    void onKey(int key) override { keys.push_back(key); }
    void frame() override
    {
        if (frames != 2)
            return;
        foreground = GetForegroundWindow() == window();
        // Held from the next poll on: the left button (row 1), Escape
        // (row 6) and A (row 18).
        pressKeys({VK_LBUTTON, VK_ESCAPE, 'A'}, true);
    }
    void onShutdown() override
    {
        TestDevice::onShutdown();
        framesAtShutdown = frames;
        pressKeys({VK_LBUTTON, VK_ESCAPE, 'A'}, false);
    }
};

} // namespace

TEST(D3dInput, EscapeClosesTheWindowInsideThePoll)
{
    EscapeDevice device;
    device.framesToRun = 100;
    ASSERT_EQ(device.start(), 0);
    pressKeys({VK_LBUTTON, VK_ESCAPE, 'A'}, false);
    ASSERT_TRUE(device.foreground) << "keys reach the foreground window only";
    EXPECT_EQ(device.framesAtShutdown, 2) << "no frame after the poll that saw Escape";
    EXPECT_EQ(device.frames, 2);
    EXPECT_EQ(device.keys, std::vector<int>{Key::mouseLeft}) << "rows before Escape only";
    EXPECT_EQ(device.endFrames, 2);
}

namespace {

class ResizeDevice : public TestDevice {
public:
    int widthAfter = 0, heightAfter = 0, clientWidthAfter = 0, clientHeightAfter = 0;
    int centreX = -1, centreY = -1, cornerX = -1, cornerY = -1;
    POINT moved = {-1, -1};
    POINT origin = {0, 0};

    void frame() override
    {
        if (frames == 1) {
            // Twice the device size, as a player dragging the frame.
            RECT frame = {0, 0, 2 * width(), 2 * height()};
            AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
            SetWindowPos(window(), nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
        } else if (frames == 2) {
            widthAfter = width();
            heightAfter = height();
            clientWidthAfter = clientWidth();
            clientHeightAfter = clientHeight();
            POINT point = {width(), height()};   // the centre of the enlarged client area
            ClientToScreen(window(), &point);
            SetCursorPos(point.x, point.y);
            getMousePosition(&centreX, &centreY);
            point = {2 * width() - 1, 2 * height() - 1};
            ClientToScreen(window(), &point);
            SetCursorPos(point.x, point.y);
            getMousePosition(&cornerX, &cornerY);

            setMousePosition(-1, 10);
            GetCursorPos(&moved);
            ClientToScreen(window(), &origin);
        }
    }
};

} // namespace

TEST(D3dInput, AnEnlargedWindowKeepsTheDeviceSizeAndScalesThePointer)
{
    ResizeDevice device;
    ASSERT_EQ(device.start(320, 240), 0);
    EXPECT_EQ(device.widthAfter, 320);
    EXPECT_EQ(device.heightAfter, 240);
    EXPECT_EQ(device.clientWidthAfter, 640);
    EXPECT_EQ(device.clientHeightAfter, 480);
    EXPECT_EQ(device.centreX, 160);
    EXPECT_EQ(device.centreY, 120);
    EXPECT_EQ(device.cornerX, 319);
    EXPECT_EQ(device.cornerY, 239);
    EXPECT_EQ(device.moved.x, device.origin.x) << "(-1, 10) moves the pointer to the client area's corner";
    EXPECT_EQ(device.moved.y, device.origin.y);
}

namespace {

class ConsoleDevice : public TestDevice {
public:
    Console* console = nullptr;
    bool fontDuringInit = true;
    bool fontDuringFrames = true;
    std::vector<int> keys;

    void onInit() override
    {
        TestDevice::onInit();
        fontDuringInit = console->font() != nullptr;
    }
    void onKey(int key) override { keys.push_back(key); }
    void frame() override
    {
        fontDuringFrames = fontDuringFrames && console->font() != nullptr;
        if (frames == 1)
            pressKeys({VK_TAB}, true);        // shows the console; the game sees it too
        else if (frames == 2)
            pressKeys({VK_TAB}, false);
        else if (frames == 4)
            pressKeys({'Q'}, true);           // typed into the visible console only
        else if (frames == 5)
            pressKeys({'Q'}, false);
    }
    void onShutdown() override
    {
        TestDevice::onShutdown();
        pressKeys({VK_TAB, 'Q'}, false);
    }
};

} // namespace

TEST(D3dConsole, BuiltAfterOnInitFedKeysAndForgottenAtShutdown)
{
    Console console(nullptr);
    ConsoleDevice device;
    device.console = &console;
    device.framesToRun = 6;
    device.setConsole(&console);
    ASSERT_EQ(device.start(), 0);
    EXPECT_FALSE(device.fontDuringInit) << "the console's graphics come after onInit";
    EXPECT_TRUE(device.fontDuringFrames);
    EXPECT_TRUE(console.isVisible());
    EXPECT_EQ(console.line(), "Q");
    EXPECT_EQ(device.keys, std::vector<int>{Key::tab}) << "the key that opens the console reaches the game";
    EXPECT_EQ(console.font(), nullptr);
    EXPECT_EQ(console.background(), nullptr);
    EXPECT_TRUE(device.resources().textures().empty());
}

// --------------------------------------------------------- resources ---

namespace {

class ResourceDevice : public TestDevice {
public:
    void onInit() override
    {
        TestDevice::onInit();
        checkTexture();
        checkRenderTarget();
        checkBuffers();
        checkLights();
        checkMatrices();
        checkRenderTargetFlip();
    }

    void checkTexture()
    {
        // 100 x 50 pixels, each naming its row and column, alpha 0.
        std::vector<uint32_t> pixels(100 * 50);
        for (int y = 0; y < 50; ++y)
            for (int x = 0; x < 100; ++x)
                pixels[y * 100 + x] = static_cast<uint32_t>(y << 8 | x);
        Texture* texture = createTexture(false, pixels.data(), 100, 50);
        ASSERT_NE(texture, nullptr);
        EXPECT_EQ(texture->textureWidth(), 128);
        EXPECT_EQ(texture->textureHeight(), 64);
        D3DSURFACE_DESC desc = {};
        const std::vector<uint32_t> stored = readTexture(static_cast<D3dTexture*>(texture)->texture(), &desc);
        ASSERT_EQ(desc.Width, 128u);
        ASSERT_EQ(desc.Height, 64u);
        EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);
        EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);
        // Flipped top to bottom, stretched (steps 200/256 both ways), opaque.
        int wrong = 0;
        for (int r = 0; r < 64; ++r) {
            for (int c = 0; c < 128; ++c) {
                const uint32_t expected = 0xFF000000u | static_cast<uint32_t>((49 - ((r * 200) >> 8)) << 8 | ((c * 200) >> 8));
                if (stored[r * 128 + c] != expected && wrong++ < 5)
                    ADD_FAILURE() << "texel (" << c << ", " << r << ") " << std::hex << stored[r * 128 + c]
                                  << ", expected " << expected;
            }
        }
        EXPECT_EQ(wrong, 0);

        Texture* blank = createTexture(false, nullptr, 3, 5);
        ASSERT_NE(blank, nullptr);
        const std::vector<uint32_t> zero = readTexture(static_cast<D3dTexture*>(blank)->texture(), &desc);
        ASSERT_EQ(zero.size(), 4u * 8u);
        for (uint32_t texel : zero)
            EXPECT_EQ(texel, 0u);
        // What lock and unlock change reaches Direct3D.
        blank->setAlpha(176, false);
        EXPECT_EQ(readTexture(static_cast<D3dTexture*>(blank)->texture(), &desc)[31], 0xB0000000u);
    }

    void checkRenderTarget()
    {
        Texture* target = createTexture(true, nullptr, 100, 50);
        ASSERT_NE(target, nullptr);
        D3dTexture* d3d = static_cast<D3dTexture*>(target);
        D3DSURFACE_DESC desc = {};
        ASSERT_TRUE(SUCCEEDED(d3d->texture()->GetLevelDesc(0, &desc)));
        EXPECT_EQ(desc.Width, 100u);
        EXPECT_EQ(desc.Height, 50u);
        EXPECT_EQ(desc.Usage, static_cast<DWORD>(D3DUSAGE_RENDERTARGET));
        EXPECT_EQ(desc.Pool, D3DPOOL_DEFAULT);
        EXPECT_NE(d3d->surface(), nullptr);
        EXPECT_EQ(target->textureWidth(), 128);
        EXPECT_EQ(target->textureHeight(), 64);
        uint32_t* copy = target->lock();
        ASSERT_NE(copy, nullptr);
        copy[128 * 64 - 1] = 1;   // the whole copy is there
        target->unlock();          // and no upload is tried
    }

    void checkBuffers()
    {
        for (bool dynamic : {false, true}) {
            VertexBuffer* vertices = createVertexBuffer(dynamic, 5);
            ASSERT_NE(vertices, nullptr);
            EXPECT_EQ(vertices->isDynamic(), dynamic);
            Vertex* v = vertices->lock();
            for (int i = 0; i < 5; ++i)
                EXPECT_EQ(v[i].color, 0xFFFFFFFFu) << "dynamic " << dynamic << " vertex " << i;
            v[2].x = 3.0f;   // a write leaves the rest as it was
            vertices->unlock();
            v = vertices->lock();
            EXPECT_EQ(v[2].x, 3.0f);
            EXPECT_EQ(v[2].color, 0xFFFFFFFFu);
            vertices->unlock();

            IndexBuffer* indices = createIndexBuffer(dynamic, 6);
            ASSERT_NE(indices, nullptr);
            uint32_t* index = indices->lock();
            ASSERT_NE(index, nullptr) << "dynamic " << dynamic;
            for (int i = 0; i < 6; ++i)
                index[i] = static_cast<uint32_t>(10 + i);
            indices->unlock();
            index = indices->lock();
            EXPECT_EQ(index[5], 15u);
            indices->unlock();
        }
        // An empty buffer still locks.
        IndexBuffer* empty = createIndexBuffer(false, 0);
        ASSERT_NE(empty, nullptr);
        EXPECT_NE(empty->lock(), nullptr);
        empty->unlock();
    }

    void checkLights()
    {
        struct Step {
            int deleteAt;   // -1: create a light
            int index;      // the index the created light gets
        };
        // Two lights, the first deleted: 0, then 3 (2 is free but not taken).
        const Step example[] = {{-1, 0}, {-1, 1}, {0, 0}, {-1, 0}, {-1, 3}};
        // Three lights, the first deleted: the next takes 0 as the 4th entry.
        const Step three[] = {{-1, 0}, {-1, 1}, {-1, 2}, {0, 0}, {-1, 0}};
        for (const auto* steps : {&example, &three}) {
            std::vector<Light*> made;
            for (const Step& step : *steps) {
                if (step.deleteAt >= 0) {
                    delete made[step.deleteAt];
                    made[step.deleteAt] = nullptr;
                    continue;
                }
                Light* light = createLight();
                ASSERT_NE(light, nullptr);
                EXPECT_EQ(light->index(), step.index) << "light " << made.size();
                EXPECT_EQ(resources().lights().back(), light) << "appended, never put in a free entry";
                made.push_back(light);
            }
            setLight(made.back(), true);
            setLight(made.back(), false);
            for (Light* light : made)
                delete light;
        }
    }

    void checkMatrices()
    {
        IDirect3DDevice9* device = d3dDevice();
        Matrix4 projection;
        projection.setPerspective(1.0f, 100.0f, 90.0f, 2.0f);
        setMatrixMode(0);
        loadMatrix(projection);
        pushMatrix();
        setMatrixMode(1);
        loadIdentity();
        translate(1.0f, 2.0f, 3.0f);
        popMatrix();
        D3DMATRIX world = {};
        device->GetTransform(D3DTS_WORLD, &world);
        Matrix4 read;
        getMatrix(read);
        for (int i = 0; i < 16; ++i) {
            EXPECT_FLOAT_EQ(read.m[i], projection.m[i]) << "modelview element " << i;
            EXPECT_FLOAT_EQ(world.m[i % 4][i / 4], projection.m[i]) << "world transform element " << i;
        }

        // A pop with nothing pushed changes nothing.
        loadIdentity();
        translate(5.0f, 0.0f, 0.0f);
        popMatrix();
        device->GetTransform(D3DTS_WORLD, &world);
        EXPECT_FLOAT_EQ(world._41, 5.0f);
        getMatrix(read);
        EXPECT_FLOAT_EQ(read.m[3], 5.0f);
    }

    void checkRenderTargetFlip()
    {
        IDirect3DDevice9* device = d3dDevice();
        Texture* target = createTexture(true, nullptr, 16, 16);
        const uint32_t white = 0xFFFFFFFFu;
        Texture* ordinary = createTexture(false, &white, 1, 1);
        DWORD flags = 99;
        D3DMATRIX m = {};
        for (int stage : {0, 1}) {
            setTextureStage(stage);
            setRenderState(RenderStateType::textureMode, RenderStateValue::textureWrap);
            setTexture(target);
            device->GetTextureStageState(stage, D3DTSS_TEXTURETRANSFORMFLAGS, &flags);
            EXPECT_EQ(flags, static_cast<DWORD>(D3DTTFF_COUNT2)) << "render targets read with v reversed";
            device->GetTransform(static_cast<D3DTRANSFORMSTATETYPE>(D3DTS_TEXTURE0 + stage), &m);
            EXPECT_FLOAT_EQ(m._22, -1.0f);
            setTexture(ordinary);
            device->GetTextureStageState(stage, D3DTSS_TEXTURETRANSFORMFLAGS, &flags);
            EXPECT_EQ(flags, static_cast<DWORD>(D3DTTFF_DISABLE)) << "stage " << stage << ": no flip for an ordinary texture";

            // Sphere mapping keeps its own transform around a render target.
            setRenderState(RenderStateType::textureMode, RenderStateValue::textureSphereMap);
            setTexture(target);
            setTexture(nullptr);
            device->GetTextureStageState(stage, D3DTSS_TEXTURETRANSFORMFLAGS, &flags);
            EXPECT_EQ(flags, static_cast<DWORD>(D3DTTFF_COUNT2));
            device->GetTransform(static_cast<D3DTRANSFORMSTATETYPE>(D3DTS_TEXTURE0 + stage), &m);
            EXPECT_FLOAT_EQ(m._22, -0.5f);
            EXPECT_FLOAT_EQ(m._41, 0.5f);
            setRenderState(RenderStateType::textureMode, RenderStateValue::textureWrap);
        }
        setTextureStage(0);
        delete target;
        delete ordinary;
    }
};

} // namespace

TEST(D3dResources, TexturesBuffersLightsAndMatricesOnARealDevice)
{
    ResourceDevice device;
    device.framesToRun = 2;
    ASSERT_EQ(device.start(), 0);
    EXPECT_EQ(device.frames, 2);
    EXPECT_TRUE(device.resources().textures().empty());
    EXPECT_TRUE(device.resources().lights().empty());
}

namespace {

// Three triangles in one index buffer, drawn with a count of 7: two whole
// triangles, the seventh index alone draws nothing.
class DrawIndexedDevice : public TestDevice {
public:
    VertexBuffer* vertices = nullptr;
    IndexBuffer* indices = nullptr;
    int primitives = -1;
    std::vector<uint32_t> pixels;
    int pitch = 0;

    void onInit() override
    {
        TestDevice::onInit();
        vertices = createVertexBuffer(false, 9);
        Vertex* v = vertices->lock();
        for (int t = 0; t < 3; ++t) {
            // Triangle t covers x from -0.9 + 0.6 t to -0.5 + 0.6 t.
            const float x0 = -0.9f + 0.6f * t;
            const float corners[3][2] = {{x0, -0.5f}, {x0, 0.5f}, {x0 + 0.4f, -0.5f}};
            for (int i = 0; i < 3; ++i) {
                v[3 * t + i].x = corners[i][0];
                v[3 * t + i].y = corners[i][1];
                v[3 * t + i].z = 0.5f;
                v[3 * t + i].color = 0xFF00FF00u;
            }
        }
        vertices->unlock();
        indices = createIndexBuffer(false, 9);
        uint32_t* index = indices->lock();
        for (int i = 0; i < 9; ++i)
            index[i] = static_cast<uint32_t>(i);
        indices->unlock();
    }
    void frame() override
    {
        setClearColor(0x000000);
        clear(ClearFlags::color | ClearFlags::depth);
        setMatrixMode(0);
        loadIdentity();
        setMatrixMode(1);
        loadIdentity();
        setRenderState(RenderStateType::depthTest, RenderStateValue::depthOff);
        setRenderState(RenderStateType::cullMode, RenderStateValue::cullNone);
        setRenderState(RenderStateType::blendMode, RenderStateValue::blendAlpha);   // vertex colours
        setTexture(nullptr);
        setVertexBuffer(vertices);
        setIndexBuffer(indices);
        const int before = primitivesDrawn();
        drawIndexed(0, 9, 0, 7);
        primitives = primitivesDrawn() - before;
        if (frames == framesToRun)
            pixels = readTarget(d3dDevice(), &pitch);
    }
    uint32_t at(float x, float y) const
    {
        const int px = static_cast<int>((x + 1.0f) * 320.0f);
        const int py = static_cast<int>((1.0f - y) * 240.0f);
        return pixels[py * pitch + px] & 0xFFFFFFu;
    }
};

} // namespace

TEST(D3dDrawing, DrawIndexedDrawsWholeTrianglesAndCountsEveryIndex)
{
    DrawIndexedDevice device;
    ASSERT_EQ(device.start(), 0);
    ASSERT_EQ(device.pixels.size(), 640u * 480u);
    EXPECT_EQ(device.primitives, 7);
    EXPECT_EQ(device.at(-0.8f, -0.3f), 0x00FF00u) << "first triangle";
    EXPECT_EQ(device.at(-0.2f, -0.3f), 0x00FF00u) << "second triangle";
    EXPECT_EQ(device.at(0.4f, -0.3f), 0x000000u) << "third triangle, of which one index was given";
}

// ------------------------------------------------------ display info ---

namespace {

class DisplayInfoDevice : public TestDevice {
public:
    DisplayInfo inside;
    void frame() override { getDisplayInfo(inside); }
};

} // namespace

TEST(D3dDisplay, InformationBeforeAndDuringRun)
{
    DisplayInfoDevice device;
    DisplayInfo before;
    device.getDisplayInfo(before);
    device.framesToRun = 1;
    ASSERT_EQ(device.start(), 0);
    for (const DisplayInfo* info : {&before, &device.inside}) {
        EXPECT_EQ(info->apiName, "DirectX");
        EXPECT_FALSE(info->vendor.empty());
        EXPECT_FALSE(info->renderer.empty());
        EXPECT_EQ(std::count(info->version.begin(), info->version.end(), '.'), 3) << info->version;
        EXPECT_TRUE(info->extensions.empty());
        EXPECT_FALSE(info->extensionsAvailable);
        ASSERT_FALSE(info->displayModes.empty());
        for (size_t i = 0; i < info->displayModes.size(); ++i)
            for (size_t j = 0; j < i; ++j)
                EXPECT_FALSE(info->displayModes[i].width == info->displayModes[j].width &&
                             info->displayModes[i].height == info->displayModes[j].height)
                    << "each size once";
    }
    EXPECT_EQ(before.vendor, device.inside.vendor);
    EXPECT_EQ(before.version, device.inside.version);
}
