// Runs D3dDevice for real: its host's window under Wine, Wine's Direct3D 9
// over Mesa's software OpenGL in Xvfb. Keys are pressed through SendInput,
// the way Windows delivers a player's keys.
#include "Console.h"
#include "D3dDevice.h"
#include "D3dIndexBuffer.h"
#include "D3dTexture.h"
#include "D3dVertexBuffer.h"
#include "Direct3dHooks.h"
#include "IndexBuffer.h"
#include "Light.h"
#include "Matrix4.h"
#include "RenderState.h"
#include "Texture.h"
#include "Vertex.h"
#include "VertexBuffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
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

std::vector<uint32_t> readTarget(IDirect3DDevice9* device, int* width)
{
    return readRenderTarget(device, width);
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
    std::vector<int> primitivesAfterDrawing;

    void frame() override
    {
        // One triangle a frame: the counter must start each frame at 0.
        Vertex corners[3] = {};
        corners[1].x = 0.5f;
        corners[2].y = 0.5f;
        drawTriangle(corners);
        primitivesAfterDrawing.push_back(primitivesDrawn());
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
    EXPECT_EQ(device.primitivesAtStart, std::vector<int>(3, 0)) << "the counter starts every frame at 0";
    EXPECT_EQ(device.primitivesAfterDrawing, std::vector<int>(3, 1));
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
        // The target holds what was drawn into it; a lock and unlock of its
        // copy leave that alone (Direct3D does not lock a render target, so
        // trying would also be told on stderr).
        setRenderTarget(target);
        setClearColor(0x336699);
        clear(ClearFlags::color);
        uint32_t* copy = target->lock();
        ASSERT_NE(copy, nullptr);
        std::fill(copy, copy + 128 * 64, 0xFFFF0000u);   // the whole copy is there
        testing::internal::CaptureStderr();
        target->unlock();
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        int width = 0;
        const std::vector<uint32_t> drawn = readTarget(d3dDevice(), &width);
        endFrame();
        ASSERT_EQ(drawn.size(), 100u * 50u);
        // The clear colour's alpha byte is 0 (0xRRGGBB as given).
        EXPECT_EQ(std::count(drawn.begin(), drawn.end(), 0x00336699u), 100 * 50) << "no upload reached the target";
    }

    // The buffers are write-only: what they hold is checked by drawing from
    // them (D3dBuffers.LocksKeepWhatIsNotWrittenAgain), not read back here.
    void checkBuffers()
    {
        for (bool dynamic : {false, true}) {
            VertexBuffer* vertices = createVertexBuffer(dynamic, 5);
            ASSERT_NE(vertices, nullptr);
            EXPECT_EQ(vertices->isDynamic(), dynamic);
            D3DVERTEXBUFFER_DESC vertexDesc = {};
            static_cast<D3dVertexBuffer*>(vertices)->buffer()->GetDesc(&vertexDesc);
            EXPECT_EQ(vertexDesc.Size, 5u * 44u);
            EXPECT_EQ(vertexDesc.FVF, 0x252u);
            EXPECT_EQ(vertexDesc.Pool, dynamic ? D3DPOOL_DEFAULT : D3DPOOL_MANAGED);
            EXPECT_EQ(vertexDesc.Usage, static_cast<DWORD>(dynamic ? D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY
                                                                   : D3DUSAGE_WRITEONLY));

            IndexBuffer* indices = createIndexBuffer(dynamic, 6);
            ASSERT_NE(indices, nullptr);
            D3DINDEXBUFFER_DESC indexDesc = {};
            static_cast<D3dIndexBuffer*>(indices)->buffer()->GetDesc(&indexDesc);
            EXPECT_EQ(indexDesc.Size, 6u * 4u);
            EXPECT_EQ(indexDesc.Format, D3DFMT_INDEX32);
            EXPECT_EQ(indexDesc.Pool, dynamic ? D3DPOOL_DEFAULT : D3DPOOL_MANAGED);
            ASSERT_NE(indices->lock(), nullptr) << "dynamic " << dynamic;
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
            for (Light* light : made)
                delete light;
        }
        checkLightSettings();
    }

    // What setLight hands Direct3D for each kind of light, and that
    // disabling touches the light's enable flag only.
    void checkLightSettings()
    {
        IDirect3DDevice9* device = d3dDevice();
        Light* light = createLight();
        ASSERT_NE(light, nullptr);
        const DWORD index = static_cast<DWORD>(light->index());
        struct Case {
            int type;
            D3DLIGHTTYPE d3dType;
        };
        const Case cases[] = {{0, D3DLIGHT_DIRECTIONAL}, {1, D3DLIGHT_SPOT}, {2, D3DLIGHT_POINT}};
        for (const Case& c : cases) {
            LightDesc desc = {};
            desc.type = c.type;
            desc.position[0] = 1.0f; desc.position[1] = 2.0f; desc.position[2] = 3.0f;
            desc.direction[0] = 0.0f; desc.direction[1] = -1.0f; desc.direction[2] = 0.0f;
            desc.color[0] = 0.25f; desc.color[1] = 0.5f; desc.color[2] = 0.75f;
            desc.range = 40.0f;
            desc.innerCone = 0.3f;
            desc.outerCone = 0.6f;
            desc.falloff = 1.5f;
            desc.constantAttenuation = 0.125f;
            desc.linearAttenuation = 0.0625f;
            light->setDesc(desc);
            device->SetRenderState(D3DRS_LIGHTING, FALSE);
            setLight(light, true);

            DWORD lighting = FALSE;
            device->GetRenderState(D3DRS_LIGHTING, &lighting);
            EXPECT_EQ(lighting, static_cast<DWORD>(TRUE)) << "type " << c.type;
            BOOL enabled = FALSE;
            ASSERT_TRUE(SUCCEEDED(device->GetLightEnable(index, &enabled)));
            EXPECT_TRUE(enabled) << "type " << c.type;
            D3DMATERIAL9 material = {};
            device->GetMaterial(&material);
            EXPECT_FLOAT_EQ(material.Diffuse.g, 0.5f);
            EXPECT_FLOAT_EQ(material.Ambient.b, 0.75f);
            EXPECT_FLOAT_EQ(material.Diffuse.a, 1.0f);
            EXPECT_FLOAT_EQ(material.Power, 0.0f);
            D3DLIGHT9 set = {};
            ASSERT_TRUE(SUCCEEDED(device->GetLight(index, &set)));
            EXPECT_EQ(set.Type, c.d3dType);
            EXPECT_FLOAT_EQ(set.Diffuse.r, 0.25f);
            EXPECT_FLOAT_EQ(set.Diffuse.a, 0.0f);
            EXPECT_FLOAT_EQ(set.Specular.r, 0.0f);
            if (c.type == 0) {
                EXPECT_FLOAT_EQ(set.Direction.y, -1.0f);
            } else {
                EXPECT_FLOAT_EQ(set.Position.z, 3.0f) << "type " << c.type;
                EXPECT_FLOAT_EQ(set.Range, 40.0f) << "type " << c.type;
            }
            if (c.type == 1) {
                EXPECT_FLOAT_EQ(set.Direction.y, -1.0f);
                EXPECT_FLOAT_EQ(set.Theta, 0.3f);
                EXPECT_FLOAT_EQ(set.Phi, 0.6f);
                EXPECT_FLOAT_EQ(set.Falloff, 1.5f);
                EXPECT_FLOAT_EQ(set.Attenuation0, 0.125f);
                EXPECT_FLOAT_EQ(set.Attenuation1, 0.0f);
            }
            if (c.type == 2) {
                EXPECT_FLOAT_EQ(set.Attenuation0, 0.0f);
                EXPECT_FLOAT_EQ(set.Attenuation1, 0.0625f);
            }

            setLight(light, false);
            device->GetLightEnable(index, &enabled);
            EXPECT_FALSE(enabled) << "type " << c.type;
            device->GetRenderState(D3DRS_LIGHTING, &lighting);
            EXPECT_EQ(lighting, static_cast<DWORD>(TRUE)) << "disabling leaves lighting on";
        }
        delete light;
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
// Draws untextured vertex colours straight in clip space over black, and
// keeps the pixels of the last frame it runs.
class FlatDrawingDevice : public TestDevice {
public:
    std::vector<uint32_t> pixels;
    int pitch = 0;

    void beginFlatFrame()
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
    }
    void keepLastFrame()
    {
        if (frames == framesToRun)
            pixels = readTarget(d3dDevice(), &pitch);
    }
    // The colour at a point in clip space of the kept frame.
    uint32_t at(float x, float y) const { return colourAt(pixels, pitch, x, y); }
};

class DrawIndexedDevice : public FlatDrawingDevice {
public:
    VertexBuffer* vertices = nullptr;
    IndexBuffer* indices = nullptr;
    int primitives = -1;

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
        beginFlatFrame();
        setVertexBuffer(vertices);
        setIndexBuffer(indices);
        const int before = primitivesDrawn();
        drawIndexed(0, 9, 0, 7);
        primitives = primitivesDrawn() - before;
        keepLastFrame();
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

// ----------------------------------------------------------- buffers ---

namespace {

// A static buffer pair on the left half of the window, a dynamic one on the
// right. Each is written in two locks: first the positions of vertices 0-2
// (colours untouched: opaque white from the buffer's making) and the
// indices 0, 1, 2; then only vertex 3's position and the third index,
// which becomes 3. Drawn, the triangle is (0, 1, 3) in white only when
// each lock kept what it did not write.
class BufferDrawDevice : public FlatDrawingDevice {
public:
    VertexBuffer* vertices[2] = {};
    IndexBuffer* indices[2] = {};

    static float left(int dynamic) { return dynamic ? 0.1f : -0.9f; }

    void onInit() override
    {
        TestDevice::onInit();
        for (int dynamic = 0; dynamic < 2; ++dynamic) {
            const float x0 = left(dynamic);
            vertices[dynamic] = createVertexBuffer(dynamic != 0, 4);
            Vertex* v = vertices[dynamic]->lock();
            const float first[3][2] = {{x0, -0.5f}, {x0, 0.5f}, {x0 + 0.2f, -0.5f}};
            for (int i = 0; i < 3; ++i) {
                v[i].x = first[i][0];
                v[i].y = first[i][1];
                v[i].z = 0.5f;
            }
            vertices[dynamic]->unlock();
            indices[dynamic] = createIndexBuffer(dynamic != 0, 3);
            uint32_t* index = indices[dynamic]->lock();
            for (int i = 0; i < 3; ++i)
                index[i] = static_cast<uint32_t>(i);
            indices[dynamic]->unlock();

            v = vertices[dynamic]->lock();
            v[3].x = x0 + 0.7f;
            v[3].y = -0.5f;
            v[3].z = 0.5f;
            vertices[dynamic]->unlock();
            index = indices[dynamic]->lock();
            index[2] = 3;
            indices[dynamic]->unlock();
        }
    }
    void frame() override
    {
        beginFlatFrame();
        for (int dynamic = 0; dynamic < 2; ++dynamic) {
            setVertexBuffer(vertices[dynamic]);
            setIndexBuffer(indices[dynamic]);
            drawIndexed(0, 4, 0, 3);
        }
        keepLastFrame();
    }
};

} // namespace

TEST(D3dBuffers, LocksKeepWhatIsNotWrittenAgain)
{
    BufferDrawDevice device;
    device.framesToRun = 2;
    ASSERT_EQ(device.start(), 0);
    ASSERT_EQ(device.pixels.size(), 640u * 480u);
    for (int dynamic = 0; dynamic < 2; ++dynamic) {
        const float x0 = BufferDrawDevice::left(dynamic);
        // Inside (0, 1, 2) and (0, 1, 3); inside (0, 1, 3) only; outside both.
        EXPECT_EQ(device.at(x0 + 0.05f, -0.4f), 0xFFFFFFu) << "dynamic " << dynamic;
        EXPECT_EQ(device.at(x0 + 0.4f, -0.4f), 0xFFFFFFu) << "dynamic " << dynamic << ": the second lock's writes";
        EXPECT_EQ(device.at(x0 + 0.6f, 0.3f), 0x000000u) << "dynamic " << dynamic;
    }
}

// --------------------------------------------- refused resources ---

namespace {

HRESULT WINAPI refuseTexture(IDirect3DDevice9*, UINT, UINT, UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DTexture9**,
                             HANDLE*)
{
    return D3DERR_OUTOFVIDEOMEMORY;
}

HRESULT WINAPI refuseVertexBuffer(IDirect3DDevice9*, UINT, DWORD, DWORD, D3DPOOL, IDirect3DVertexBuffer9**, HANDLE*)
{
    return D3DERR_OUTOFVIDEOMEMORY;
}

HRESULT WINAPI refuseIndexBuffer(IDirect3DDevice9*, UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DIndexBuffer9**, HANDLE*)
{
    return D3DERR_OUTOFVIDEOMEMORY;
}

// While it lives, the device answers every new texture and buffer with
// D3DERR_OUTOFVIDEOMEMORY, as a device whose memory is full: the three
// creation entries of its function table are replaced, and put back after.
class FullVideoMemory {
public:
    explicit FullVideoMemory(IDirect3DDevice9* device) : entries_(device)
    {
        entries_.replace(slotOf(&IDirect3DDevice9::CreateTexture), reinterpret_cast<void*>(&refuseTexture));
        entries_.replace(slotOf(&IDirect3DDevice9::CreateVertexBuffer), reinterpret_cast<void*>(&refuseVertexBuffer));
        entries_.replace(slotOf(&IDirect3DDevice9::CreateIndexBuffer), reinterpret_cast<void*>(&refuseIndexBuffer));
    }

private:
    FunctionTableEntries entries_;
};

// Direct3D refuses every texture and buffer the game asks for: each comes
// back all the same, without its Direct3D part, and the game locks, draws
// with and into them as with any other, frame after frame.
class RefusedResourcesDevice : public TestDevice {
public:
    Texture* texture = nullptr;
    Texture* target = nullptr;
    VertexBuffer* vertices = nullptr;
    IndexBuffer* indices = nullptr;
    bool withoutDirect3d = false;
    uint32_t texelRead = 0;
    std::string messages;

    void onInit() override
    {
        TestDevice::onInit();
        testing::internal::CaptureStderr();
        {
            FullVideoMemory full(d3dDevice());
            const uint32_t pixels[4] = {0xFF0000u, 0x00FF00u, 0x0000FFu, 0xFFFFFFu};
            texture = createTexture(false, pixels, 2, 2);
            target = createTexture(true, nullptr, 64, 32);
            vertices = createVertexBuffer(false, 4);
            indices = createIndexBuffer(true, 6);
        }
        if (!texture || !target || !vertices || !indices)
            return;
        withoutDirect3d = !static_cast<D3dTexture*>(texture)->texture() &&
                          !static_cast<D3dTexture*>(target)->texture() &&
                          !static_cast<D3dTexture*>(target)->surface() &&
                          !static_cast<D3dVertexBuffer*>(vertices)->buffer() &&
                          !static_cast<D3dIndexBuffer*>(indices)->buffer();
    }
    void frame() override
    {
        if (!texture || !target || !vertices || !indices)
            return;
        texture->lock()[3] = 0xFF00FF00u;
        texture->unlock();
        texelRead = texture->lock()[3];
        texture->unlock();
        Vertex* v = vertices->lock();
        v[3].x = 0.5f;
        vertices->unlock();
        uint32_t* index = indices->lock();
        for (int i = 0; i < 6; ++i)
            index[i] = static_cast<uint32_t>(i % 4);
        indices->unlock();
        setRenderTarget(target);
        clear(ClearFlags::color);
        setRenderTarget(nullptr);
        setTexture(texture);
        setVertexBuffer(vertices);
        setIndexBuffer(indices);
        drawIndexed(0, 4, 0, 6);
        drawStrip(0, 4);
        setTexture(nullptr);
        if (frames == framesToRun)
            messages = testing::internal::GetCapturedStderr();
    }
};

size_t countOf(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

} // namespace

TEST(D3dResources, RefusedByDirect3dTheyComeBackWithoutItAndAreToldOnce)
{
    RefusedResourcesDevice device;
    device.framesToRun = 3;
    ASSERT_EQ(device.start(), 0);
    EXPECT_EQ(device.frames, 3);
    ASSERT_TRUE(device.texture && device.target && device.vertices && device.indices) << device.messages;
    EXPECT_TRUE(device.withoutDirect3d);
    EXPECT_EQ(device.texelRead, 0xFF00FF00u) << "the copy in memory still takes what is written";
    EXPECT_EQ(countOf(device.messages, "\n"), 4u) << device.messages;
    for (const char* told : {"refuses a texture of 2 x 2", "refuses a render-target texture of 64 x 32",
                             "refuses a vertex buffer of 4 vertices", "refuses an index buffer of 6 indices"})
        EXPECT_EQ(countOf(device.messages, told), 1u) << told << " in:\n" << device.messages;
    EXPECT_TRUE(device.resources().textures().empty());
}

// ------------------------------------------------------ foreground ---

namespace {

// Enter and Escape are held while another window is in front: the game
// must not see them. Once its window is in front again, Enter reaches it
// and Escape closes it. Wine lets go of keys held through SendInput when
// the X server's focus moves, which it tells some frames after the
// foreground changed: so the keys are pressed again every frame, and a
// frame counts as one with the keys held only when they are still held as
// it begins (they were then held when the game polled, just before).
class ForegroundDevice : public TestDevice {
public:
    static constexpr int framesWithKeysHeldWanted = 3;
    std::vector<int> keys;
    size_t keysWhileBehind = 0;
    int framesWithKeysHeldBehind = 0;
    int framesBehind = 0;
    bool backInFront = false;
    HWND other = nullptr;

    void onKey(int key) override { keys.push_back(key); }
    void frame() override
    {
        if (frames == 1) {
            other = CreateWindowA("STATIC", "another program", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100,
                                  nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
            SetForegroundWindow(other);
            return;
        }
        if (framesWithKeysHeldBehind < framesWithKeysHeldWanted) {
            if (GetForegroundWindow() != other || ++framesBehind > 150) {
                framesWithKeysHeldBehind = framesWithKeysHeldWanted + 1;   // gives up: the check below fails
                framesBehind = -1;
            } else if (keysHeld() && ++framesWithKeysHeldBehind == framesWithKeysHeldWanted) {
                keysWhileBehind = keys.size();
                pressKeys({VK_RETURN, VK_ESCAPE}, false);
                SetForegroundWindow(window());
                return;
            }
            pressKeys({VK_RETURN, VK_ESCAPE}, true);
            return;
        }
        // Back in front: the keys pressed until the game takes them.
        if (GetForegroundWindow() == window()) {
            backInFront = true;
            pressKeys({VK_RETURN, VK_ESCAPE}, true);
        }
    }
    void onShutdown() override
    {
        TestDevice::onShutdown();
        pressKeys({VK_RETURN, VK_ESCAPE}, false);
    }

private:
    static bool keysHeld()
    {
        return (GetAsyncKeyState(VK_ESCAPE) & 0x8000) && (GetAsyncKeyState(VK_RETURN) & 0x8000);
    }
};

} // namespace

TEST(D3dInput, KeysAreReadOnlyWhileTheWindowIsInFront)
{
    ForegroundDevice device;
    device.framesToRun = 400;
    ASSERT_EQ(device.start(), 0);
    pressKeys({VK_RETURN, VK_ESCAPE}, false);
    if (device.other)
        DestroyWindow(device.other);
    ASSERT_EQ(device.framesWithKeysHeldBehind, ForegroundDevice::framesWithKeysHeldWanted)
        << "the other window did not stay in front with the keys held (" << device.framesBehind << " frames)";
    EXPECT_EQ(device.keysWhileBehind, 0u) << "keys were read while another window was in front";
    ASSERT_TRUE(device.backInFront);
    EXPECT_LT(device.frames, device.framesToRun) << "Escape did not close the window once it was in front";
    EXPECT_EQ(device.keys, std::vector<int>{Key::enter});
}

// ---------------------------------------------------- frame clock ---

namespace {

// The host's clock runs on a counter of this test's own, one millisecond a
// reading. Each pause below lasts a minute of it; no frame may be given
// that minute.
class PausingDevice : public TestDevice {
public:
    static const UINT restoreMessage = WM_APP + 1;
    std::vector<float> elapsed;
    std::vector<int> pausedFrames;
    int64_t now = 0;

    int64_t counterTicks() override { return ++now; }
    int64_t counterFrequency() override { return 1000; }
    void onFrame(float seconds) override
    {
        elapsed.push_back(seconds);
        TestDevice::onFrame(seconds);
    }
    void frame() override
    {
        HWND w = window();
        switch (frames) {
        case 3:   // another program in front, then this one again
            SendMessageA(w, WM_ACTIVATEAPP, FALSE, 0);
            away();
            PostMessageA(w, WM_ACTIVATEAPP, TRUE, 0);
            break;
        case 6:   // minimised, then restored
            SendMessageA(w, WM_SIZE, SIZE_MINIMIZED, 0);
            away();
            PostMessageA(w, WM_SIZE, SIZE_RESTORED, MAKELPARAM(640, 480));
            break;
        case 9:   // the frame dragged (Windows' own loop runs meanwhile)
            SendMessageA(w, WM_ENTERSIZEMOVE, 0, 0);
            away();
            SendMessageA(w, WM_EXITSIZEMOVE, 0, 0);
            break;
        case 12:  // a real minimise and restore through Wine's window manager
            ShowWindow(w, SW_MINIMIZE);
            away();
            PostMessageA(w, restoreMessage, 0, 0);
            break;
        default:
            break;
        }
    }
    LRESULT msgProc(HWND w, UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == restoreMessage) {
            pausedFrames.push_back(active() ? 0 : 1);
            ShowWindow(w, SW_RESTORE);
            SetForegroundWindow(w);
            return 0;
        }
        return TestDevice::msgProc(w, message, wParam, lParam);
    }

private:
    void away()
    {
        pausedFrames.push_back(active() ? 0 : 1);
        now += 60000;
    }
};

} // namespace

TEST(D3dHost, TheFrameClockStopsWhileTheGameDoesNotRun)
{
    PausingDevice device;
    device.framesToRun = 15;
    ASSERT_EQ(device.start(), 0);
    ASSERT_EQ(device.frames, 15);
    // Inactive during each pause: no frame, and the clock stopped.
    EXPECT_EQ(device.pausedFrames, (std::vector<int>{1, 1, 1, 1, 1})) << "the window stayed active in a pause";
    for (size_t i = 0; i < device.elapsed.size(); ++i)
        EXPECT_LT(device.elapsed[i], 0.5f) << "frame " << i + 1 << " was given the time away";
}

namespace {

// Started while another program keeps the front: Windows shows the window
// without activating it, so no WM_ACTIVATEAPP comes (this device drops the
// ones Wine sends) and the foreground window is another program's, or none.
// The game must wait with its clock stopped until the player brings the
// window to the front; here that happens after a minute of the test's
// counter.
class BehindDevice : public TestDevice {
public:
    static const UINT lookMessage = WM_APP + 2;
    HWND inFront = nullptr;
    bool behind = true;
    bool activeWhileBehind = true;
    int framesWhileBehind = -1;
    std::vector<float> elapsed;
    int64_t now = 0;

    int64_t counterTicks() override { return ++now; }
    int64_t counterFrequency() override { return 1000; }
    HWND foregroundWindow() override { return behind ? inFront : TestDevice::foregroundWindow(); }
    HRESULT oneTimeSceneInit() override
    {
        // The first message the loop takes once the window is made.
        PostMessageA(window(), lookMessage, 0, 0);
        return TestDevice::oneTimeSceneInit();
    }
    void onFrame(float seconds) override
    {
        elapsed.push_back(seconds);
        TestDevice::onFrame(seconds);
    }
    LRESULT msgProc(HWND w, UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_ACTIVATEAPP && behind)
            return 0;
        if (message == lookMessage) {
            activeWhileBehind = active();
            framesWhileBehind = frames;
            now += 60000;
            behind = false;
            PostMessageA(w, WM_ACTIVATEAPP, TRUE, 0);   // the player's click on it
            return 0;
        }
        return TestDevice::msgProc(w, message, wParam, lParam);
    }
};

} // namespace

TEST(D3dHost, AGameStartedBehindAnotherWindowWaitsForTheFront)
{
    // Another program's window (the desktop's, of Wine's explorer), or none.
    const HWND fronts[] = {GetDesktopWindow(), nullptr};
    for (HWND front : fronts) {
        BehindDevice device;
        device.inFront = front;
        ASSERT_EQ(device.start(), 0);
        EXPECT_FALSE(device.activeWhileBehind) << "front " << front << ": active without being in front";
        EXPECT_EQ(device.framesWhileBehind, 0) << "front " << front;
        ASSERT_EQ(device.frames, 3) << "front " << front << ": the game did not run once in front";
        for (size_t i = 0; i < device.elapsed.size(); ++i)
            EXPECT_LT(device.elapsed[i], 0.5f) << "front " << front << ": frame " << i + 1
                                               << " was given the time behind";
    }
}

namespace {

// What Windows sends for keys held with Alt, or for F10, to the window in
// front; the window procedure's DefWindowProc turns them into WM_SYSCOMMAND
// (SC_KEYMENU for the keyboard menu, SC_CLOSE for Alt+F4).
struct KeyMessage {
    UINT message;
    WPARAM key;
};

LPARAM keyParameter(UINT message, WPARAM key)
{
    const UINT virtualKey = message == WM_SYSCHAR ? VkKeyScanA(static_cast<CHAR>(key)) & 0xFF : static_cast<UINT>(key);
    LPARAM value = 1 | (static_cast<LPARAM>(MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC)) << 16);
    if ((message == WM_SYSKEYDOWN || message == WM_SYSCHAR) && key != VK_F10)
        value |= LPARAM(1) << 29;   // Alt is down
    if (message == WM_SYSKEYUP || message == WM_KEYUP)
        value |= (LPARAM(1) << 30) | (LPARAM(1) << 31);   // was down, goes up
    return value;
}

// Alt alone, F10 alone and Alt with a letter (player 2's X) each ask for the
// keyboard menu: the game must go on, one press a frame, without entering
// it (its modal loop would hold the game and take the next key). Then
// Alt+F4, which must still close the window.
class AltKeyDevice : public TestDevice {
public:
    struct Press {
        const char* name;
        std::vector<KeyMessage> messages;
        std::vector<WPARAM> commands;   // the WM_SYSCOMMANDs it leads to
    };
    std::vector<Press> presses;
    std::vector<WPARAM> commands;
    std::vector<std::string> menuLoops;   // the presses that entered the menu loop
    const char* pressing = "";
    int framesAtShutdown = -1;
    int altF4Frame = -1;

    void frame() override
    {
        if (frames < 2)
            return;
        const size_t press = static_cast<size_t>(frames - 2);
        if (press > presses.size())
            return;
        const std::vector<KeyMessage> altF4 = {
            {WM_SYSKEYDOWN, VK_MENU}, {WM_SYSKEYDOWN, VK_F4}, {WM_SYSKEYUP, VK_F4}, {WM_SYSKEYUP, VK_MENU}};
        const std::vector<KeyMessage>& messages = press < presses.size() ? presses[press].messages : altF4;
        if (press == presses.size())
            altF4Frame = frames;
        pressing = press < presses.size() ? presses[press].name : "Alt+F4";
        for (const KeyMessage& m : messages) {
            SendMessageA(window(), m.message, m.key, keyParameter(m.message, m.key));
            if (!window())
                return;
        }
    }
    void onShutdown() override
    {
        TestDevice::onShutdown();
        framesAtShutdown = frames;
    }
    LRESULT msgProc(HWND w, UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_SYSCOMMAND)
            commands.push_back(wParam & 0xFFF0);
        if (message == WM_ENTERMENULOOP) {
            menuLoops.push_back(pressing);
            // Ends the menu loop at once rather than leave the test in it.
            PostMessageA(w, WM_KEYDOWN, VK_ESCAPE, keyParameter(WM_KEYDOWN, VK_ESCAPE));
        }
        return TestDevice::msgProc(w, message, wParam, lParam);
    }
};

} // namespace

TEST(D3dHost, AltOrF10AloneNeitherStopsTheGameNorOpensAMenuAndAltF4Closes)
{
    AltKeyDevice device;
    device.presses = {
        {"Alt", {{WM_SYSKEYDOWN, VK_MENU}, {WM_SYSKEYUP, VK_MENU}}, {SC_KEYMENU}},
        {"F10", {{WM_SYSKEYDOWN, VK_F10}, {WM_SYSKEYUP, VK_F10}}, {SC_KEYMENU}},
        {"Alt+X", {{WM_SYSKEYDOWN, VK_MENU}, {WM_SYSKEYDOWN, 'X'}, {WM_SYSCHAR, 'x'}, {WM_SYSKEYUP, 'X'},
                   {WM_SYSKEYUP, VK_MENU}}, {SC_KEYMENU}},
    };
    device.framesToRun = 100;
    ASSERT_EQ(device.start(), 0);
    std::vector<WPARAM> expected;
    for (const AltKeyDevice::Press& press : device.presses)
        expected.insert(expected.end(), press.commands.begin(), press.commands.end());
    expected.push_back(SC_CLOSE);
    EXPECT_EQ(device.commands, expected) << "the keys did not come as Windows turns them into commands";
    EXPECT_EQ(device.menuLoops, std::vector<std::string>{}) << "the keyboard menu was entered";
    EXPECT_EQ(device.altF4Frame, 2 + static_cast<int>(device.presses.size())) << "the game did not go on";
    EXPECT_EQ(device.framesAtShutdown, device.altF4Frame) << "Alt+F4 did not close the window before the next frame";
}

namespace {

// Minimised and restored by a window manager (tests/d3d/wine-minimise.sh
// drives it from outside, as a player's clicks would): Wine hears of it from
// the X server and tells the window as Windows does. The host's clock runs
// on this test's counter, and the minimise lasts a minute of it. The window
// stays open until the script has taken its last look at it: the script
// makes the file QUORIN_MINIMISE_DONE names once it has seen the window
// restored and given it the focus.
class ManagedMinimiseDevice : public TestDevice {
public:
    int64_t now = 0;
    bool minimised = false;
    bool inactiveWhileMinimised = false;
    bool restored = false;
    bool scriptDone = false;
    int framesWhileMinimised = 0;
    std::vector<float> elapsedAfterRestore;
    ULONGLONG started = GetTickCount64();
    const char* doneFile = std::getenv("QUORIN_MINIMISE_DONE");

    int64_t counterTicks() override { return ++now; }
    int64_t counterFrequency() override { return 1000; }
    void onFrame(float seconds) override
    {
        if (restored) {
            if (elapsedAfterRestore.size() < 3)
                elapsedAfterRestore.push_back(seconds);
        } else if (minimised) {
            ++framesWhileMinimised;
        }
        TestDevice::onFrame(seconds);
    }
    void frame() override
    {
        if (elapsedAfterRestore.size() == 3) {
            scriptDone = !doneFile || GetFileAttributesA(doneFile) != INVALID_FILE_ATTRIBUTES;
            if (scriptDone)
                requestQuit();
            else
                Sleep(20);
        }
        if (GetTickCount64() - started > 240000)
            requestQuit();
    }
    LRESULT msgProc(HWND w, UINT message, WPARAM wParam, LPARAM lParam) override
    {
        const LRESULT result = TestDevice::msgProc(w, message, wParam, lParam);
        if (message == WM_SIZE && wParam == SIZE_MINIMIZED && !minimised) {
            minimised = true;
            inactiveWhileMinimised = !active();
            now += 60000;
        } else if (message == WM_SIZE && wParam != SIZE_MINIMIZED && minimised) {
            restored = true;
        }
        return result;
    }
};

} // namespace

TEST(D3dHost, AMinimiseByTheWindowManagerStopsTheClock)
{
    if (!std::getenv("QUORIN_WINDOW_MANAGER"))
        GTEST_SKIP() << "needs a window manager that minimises the window (tests/d3d/wine-minimise.sh)";
    ManagedMinimiseDevice device;
    device.framesToRun = -1;
    ASSERT_EQ(device.start(), 0);
    ASSERT_TRUE(device.minimised) << "the window manager's minimise did not reach the window";
    EXPECT_TRUE(device.inactiveWhileMinimised);
    EXPECT_EQ(device.framesWhileMinimised, 0);
    ASSERT_TRUE(device.restored) << "the restore did not reach the window";
    ASSERT_EQ(device.elapsedAfterRestore.size(), 3u) << "the game did not run again after the restore";
    for (float seconds : device.elapsedAfterRestore)
        EXPECT_LT(seconds, 0.5f) << "a frame was given the time the window was minimised";
    EXPECT_TRUE(device.scriptDone) << "the script did not finish with the restored window";
}
