// Runs GlDevice for real: a window under Xvfb with Mesa's software OpenGL,
// scenes drawn through the Device operations, the frame read back. The
// device uses its extension paths when the driver offers the swap interval
// (see DriverSwapControl.h) and the program is not given --no-extensions;
// otherwise everything runs on the core OpenGL 1.1 paths.
#include "AllocationCounter.h"
#include "Console.h"
#include "DriverSwapControl.h"
#include "GlDevice.h"
#include "GlVertexBuffer.h"
#include "IndexBuffer.h"
#include "Light.h"
#include "RenderState.h"
#include "SceneChecks.h"
#include "TestScene.h"
#include "Texture.h"
#include "VertexBuffer.h"

#include <GL/gl.h>
#include <SDL/SDL.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace {

bool extensionsAsked = true;

Rgb readPixel(int x, int y, int windowHeight)
{
    unsigned char p[3] = {};
    glReadPixels(x, windowHeight - 1 - y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, p);
    return Rgb{p[0], p[1], p[2]};
}

// A device that runs a few frames of something, then quits.
class TestDevice : public GlDevice {
public:
    int inits = 0;
    int shutdowns = 0;
    int frames = 0;
    int framesToRun = 3;
    bool swapControl = false;
    std::vector<float> elapsed;
    std::vector<int> primitivesAtStart;

    int start() { return run(640, 480, false, "Quorin test", false, extensionsAsked); }
    // The paths the device must have taken, known from onInit on.
    bool extensionPaths() const { return extensionsAsked && swapControl; }

    void onInit() override
    {
        ++inits;
        swapControl = driverSwapControl();
    }
    void onFrame(float seconds) override
    {
        elapsed.push_back(seconds);
        primitivesAtStart.push_back(primitivesDrawn());
        ++frames;
        frame();
        if (frames == framesToRun)
            requestQuit();
    }
    void onShutdown() override { ++shutdowns; }
    virtual void frame() {}
};

class SceneDevice : public TestDevice {
public:
    TestScene scene;
    std::vector<Rgb> pixels;
    GLenum error = GL_NO_ERROR;
    DisplayInfo info;
    bool sdlRunningAfterInfo = false;

    void onInit() override
    {
        TestDevice::onInit();
        scene.create(*this);
    }
    void frame() override
    {
        scene.draw(*this);
        if (frames == framesToRun) {
            for (int i = 0; i < sceneCheckCount; ++i)
                pixels.push_back(readPixel(sceneChecks[i].x, sceneChecks[i].y, height()));
            error = glGetError();
            getDisplayInfo(info);
            sdlRunningAfterInfo = SDL_WasInit(SDL_INIT_VIDEO) != 0;
        }
    }
};

} // namespace

TEST(GlScene, DrawsTheKnownSceneThroughTheDeviceOperations)
{
    SceneDevice device;
    ASSERT_EQ(device.start(), 0);
    ASSERT_EQ(device.pixels.size(), static_cast<size_t>(sceneCheckCount));
    for (int i = 0; i < sceneCheckCount; ++i) {
        const SceneCheck& check = sceneChecks[i];
        const Rgb& expected = device.extensionPaths() ? check.expected : check.coreOpenGl;
        EXPECT_TRUE(nearRgb(device.pixels[i], expected, sceneTolerance))
            << check.what << " at (" << check.x << ", " << check.y << "): " << rgbText(device.pixels[i])
            << ", expected " << rgbText(expected);
    }
    EXPECT_EQ(device.error, static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_EQ(device.useExtensions(), device.extensionPaths())
        << "Mesa has the other extensions; the swap interval decides";
}

namespace {

// Frames 1-4 warm up (the render-state stack and pending list reach their
// depth); frames 5-8, the whole loop turn included, are counted.
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

TEST(GlScene, SteadyFramesAllocateNothing)
{
    ASSERT_TRUE(allocationCounterCounts());
    CountingSceneDevice device;
    device.framesToRun = 8;
    ASSERT_EQ(device.start(), 0);
    EXPECT_EQ(device.allocations, 0);
}

TEST(GlScene, LoopRunsHooksOnceAndReleasesEveryResource)
{
    SceneDevice device;
    ASSERT_EQ(device.start(), 0);
    EXPECT_EQ(device.inits, 1);
    EXPECT_EQ(device.shutdowns, 1);
    EXPECT_EQ(device.frames, 3) << "requestQuit ends the loop after the current frame";
    ASSERT_FALSE(device.elapsed.empty());
    EXPECT_EQ(device.elapsed[0], 0.0f);
    for (int primitives : device.primitivesAtStart)
        EXPECT_EQ(primitives, 0);
    EXPECT_TRUE(device.resources().textures().empty());
    EXPECT_TRUE(device.resources().vertexBuffers().empty());
    EXPECT_TRUE(device.resources().indexBuffers().empty());
    EXPECT_FALSE(SDL_WasInit(SDL_INIT_VIDEO));

    EXPECT_TRUE(device.sdlRunningAfterInfo) << "display info taken in the window leaves SDL running";
    EXPECT_EQ(device.info.apiName, "OpenGL");
    EXPECT_FALSE(device.info.renderer.empty());
    EXPECT_FALSE(device.info.version.empty());
    EXPECT_NE(device.info.extensions.find("GL_ARB_multitexture"), std::string::npos);
    EXPECT_EQ(device.info.extensionsAvailable, device.swapControl);
    EXPECT_EQ(device.extensionsCapable(), device.swapControl);
}

TEST(GlScene, DisplayInfoBeforeRunStartsAndStopsSdlItself)
{
    TestDevice device;
    DisplayInfo info;
    device.getDisplayInfo(info);
    EXPECT_EQ(info.apiName, "OpenGL");
    EXPECT_FALSE(info.vendor.empty());
    EXPECT_FALSE(SDL_WasInit(SDL_INIT_VIDEO));
    // The device still starts normally afterwards.
    device.framesToRun = 1;
    EXPECT_EQ(device.start(), 0);
    EXPECT_EQ(info.extensionsAvailable, device.swapControl);
    EXPECT_EQ(device.useExtensions(), device.extensionPaths());
}

namespace {

class ResourceDevice : public TestDevice {
public:
    void onInit() override
    {
        TestDevice::onInit();
        checkTextures();
        checkBuffers();
        checkRefusals();
        checkOwnerDeletion();
    }

    void checkTextures()
    {
        // 100 x 60: storage 128 x 64, the picture stretched over it with its
        // last row first; alpha 255 whatever the pixels said.
        std::vector<uint32_t> pixels(100 * 60, 0x00112233u);
        for (int x = 0; x < 100; ++x)
            pixels[59 * 100 + x] = 0x00AA0000u | static_cast<uint32_t>(x);
        Texture* texture = createTexture(false, pixels.data(), 100, 60);
        ASSERT_NE(texture, nullptr);
        EXPECT_EQ(texture->width(), 100);
        EXPECT_EQ(texture->height(), 60);
        EXPECT_EQ(texture->textureWidth(), 128);
        EXPECT_EQ(texture->textureHeight(), 64);
        const uint32_t* texels = texture->lock();
        EXPECT_EQ(texels[0], 0xFFAA0000u);
        EXPECT_EQ(texels[127], 0xFFAA0000u | 99u);
        EXPECT_EQ(texels[128 * 63], 0xFF112233u);
        texture->unlock();

        Texture* blank = createTexture(false, nullptr, 3, 5);
        ASSERT_NE(blank, nullptr);
        const uint32_t* zero = blank->lock();
        for (int i = 0; i < 4 * 8; ++i)
            EXPECT_EQ(zero[i], 0u);
        blank->unlock();
    }

    void checkBuffers()
    {
        VertexBuffer* dynamic = createVertexBuffer(true, 3);
        VertexBuffer* fixed = createVertexBuffer(false, 3);
        IndexBuffer* indices = createIndexBuffer(false, 3);
        ASSERT_TRUE(dynamic && fixed && indices);
        EXPECT_TRUE(dynamic->isDynamic());
        EXPECT_EQ(static_cast<GlVertexBuffer*>(dynamic)->name(), 0u);
        EXPECT_EQ(fixed->isDynamic(), !extensionPaths()) << "static buffers are buffer objects with extensions";
        EXPECT_EQ(indices->isDynamic(), !extensionPaths());
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(fixed->lock()[i].color, 0xFFFFFFFFu);
        fixed->unlock();
    }

    void checkRefusals()
    {
        testing::internal::CaptureStderr();
        EXPECT_EQ(createTexture(false, nullptr, 0, 16), nullptr);
        EXPECT_EQ(createTexture(false, nullptr, 1 << 20, 1 << 20), nullptr);
        EXPECT_EQ(createVertexBuffer(false, -1), nullptr);
        EXPECT_EQ(createIndexBuffer(false, 1 << 30), nullptr);
        // Indices past the end of the bound index buffer are not drawn.
        setVertexBuffer(createVertexBuffer(false, 4));
        setIndexBuffer(createIndexBuffer(false, 6));
        const int before = primitivesDrawn();
        drawIndexed(0, 4, 3, 6);
        EXPECT_EQ(primitivesDrawn(), before);
        const std::string messages = testing::internal::GetCapturedStderr();
        EXPECT_NE(messages.find("cannot create a texture of 0 x 16"), std::string::npos) << messages;
        EXPECT_NE(messages.find("vertex buffer of -1"), std::string::npos) << messages;
        EXPECT_NE(messages.find("index buffer of 1073741824"), std::string::npos) << messages;
        EXPECT_NE(messages.find("outside the index buffer"), std::string::npos) << messages;
    }

    void checkOwnerDeletion()
    {
        // A bound buffer deleted by its owner is not drawn from afterwards.
        VertexBuffer* bound = createVertexBuffer(true, 4);
        setVertexBuffer(bound);
        const size_t entries = resources().vertexBuffers().size();
        delete bound;
        EXPECT_EQ(resources().vertexBuffers().size(), entries);
        EXPECT_EQ(resources().vertexBuffers().back(), nullptr);
        const int before = primitivesDrawn();
        drawIndexed(0, 4, 0, 6);
        drawStrip(0, 4);
        EXPECT_EQ(primitivesDrawn(), before);
    }
};

} // namespace

TEST(GlResources, TexturesAndBuffersHoldWhatTheyWereGiven)
{
    ResourceDevice device;
    device.framesToRun = 1;
    ASSERT_EQ(device.start(), 0);
    EXPECT_TRUE(device.resources().textures().empty());
    EXPECT_TRUE(device.resources().vertexBuffers().empty());
}

namespace {

class StateDevice : public TestDevice {
public:
    GLint wrapAfterClampAndWrap = 0;
    GLint wrapAfterClamp = 0;
    bool lightingWhileLight2On = false;
    bool lightingAfterAllOff = true;

    void frame() override
    {
        const uint32_t pixel = 0xFFFFFFFFu;
        Texture* first = createTexture(false, &pixel, 1, 1);
        Texture* second = createTexture(false, &pixel, 1, 1);
        // Texture-mode sets before setTexture reach the texture just bound.
        setRenderState(RenderStateType::textureMode, RenderStateValue::textureClamp);
        setRenderState(RenderStateType::textureMode, RenderStateValue::textureWrap);
        setTexture(first);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrapAfterClampAndWrap);
        setRenderState(RenderStateType::textureMode, RenderStateValue::textureClamp);
        setTexture(second);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrapAfterClamp);
        setTexture(nullptr);

        // Lights 0, 1, 2; the first deleted: [null, light 1, light 2].
        Light* lights[3] = {createLight(), createLight(), createLight()};
        delete lights[0];
        setLight(lights[2], true);
        setLight(lights[1], true);
        setLight(lights[1], false);
        lightingWhileLight2On = glIsEnabled(GL_LIGHTING);
        setLight(lights[2], false);
        lightingAfterAllOff = glIsEnabled(GL_LIGHTING);
    }
};

} // namespace

TEST(GlStates, PendingTextureModesAndLightingFollowWhatWasSet)
{
    StateDevice device;
    device.framesToRun = 1;
    ASSERT_EQ(device.start(), 0);
    EXPECT_EQ(device.wrapAfterClampAndWrap, GL_REPEAT);
    EXPECT_EQ(device.wrapAfterClamp, GL_CLAMP_TO_EDGE);
    EXPECT_TRUE(device.lightingWhileLight2On) << "light 2 is still on";
    EXPECT_FALSE(device.lightingAfterAllOff);
    EXPECT_TRUE(device.resources().lights().empty());
}

namespace {

class ConsoleDevice : public TestDevice {
public:
    Console* console = nullptr;
    bool fontDuringInit = true;
    bool fontDuringFrames = true;
    float elapsedTotal = 0.0f;

    void onInit() override
    {
        TestDevice::onInit();
        fontDuringInit = console->font() != nullptr;
    }
    void frame() override
    {
        elapsedTotal += elapsed.back();
        fontDuringFrames = fontDuringFrames && console->font() != nullptr;
        if (frames == 1)
            console->onKey(Key::tab);   // shown from now on, drawn over each frame
    }
};

} // namespace

TEST(GlConsole, IsBuiltAfterOnInitDrawnEachFrameAndReleasedBeforeShutdown)
{
    Console console(nullptr);
    ConsoleDevice device;
    device.console = &console;
    device.framesToRun = 4;
    device.setConsole(&console);
    ASSERT_EQ(device.start(), 0);
    EXPECT_FALSE(device.fontDuringInit) << "the console's graphics come after onInit";
    EXPECT_TRUE(device.fontDuringFrames);
    EXPECT_TRUE(console.isVisible());
    EXPECT_FLOAT_EQ(console.clock(), device.elapsedTotal) << "drawn with each frame's seconds";
    EXPECT_EQ(console.font(), nullptr);
    EXPECT_EQ(console.background(), nullptr);
    EXPECT_TRUE(device.resources().textures().empty());
}

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--no-extensions") == 0)
            extensionsAsked = false;
    }
    return RUN_ALL_TESTS();
}
