// The parts of the Direct3D back-end that need no window: key map, key
// routing, pointer arithmetic, display information, frame clock, resources
// without a Direct3D device.
#include "D3dDevice.h"
#include "D3dDisplayInfo.h"
#include "D3dIndexBuffer.h"
#include "D3dInput.h"
#include "D3dVertexBuffer.h"
#include "Device.h"
#include "FrameClock.h"
#include "KeyMap.h"
#include "Texture.h"
#include "Vertex.h"

#include <windows.h>
#include <d3d9.h>
#include <gtest/gtest.h>

#include <initializer_list>
#include <set>
#include <string>
#include <vector>

namespace {

// Records where each key went: "g" game, "c" console.
class RecordingReceiver : public KeyReceiver {
public:
    bool console = false;
    bool visible = false;
    std::vector<std::string> log;

    void gameKey(int key) override { log.push_back("g" + std::to_string(key)); }
    bool hasConsole() override { return console; }
    bool consoleVisible() override { return visible; }
    void consoleKey(int key) override { log.push_back("c" + std::to_string(key)); }
};

class HeldKeys : public KeyState {
public:
    HeldKeys(std::initializer_list<int> keys) : keys_(keys) {}
    bool held(int virtualKey) override { return keys_.count(virtualKey) != 0; }

private:
    std::set<int> keys_;
};

} // namespace

TEST(D3dKeyMap, RowsFollowThePollingOrderWithTheirEngineNumbers)
{
    ASSERT_EQ(KeyMap::rowCount, 89);
    const KeyMapRow* rows = KeyMap::rows();
    struct Expected {
        int row;  // 0-based
        int key;
        int virtualKey;
    };
    const Expected expected[] = {
        {0, 254, VK_LBUTTON},      {1, 255, VK_RBUTTON},      {2, 8, VK_BACK},
        {3, 9, VK_TAB},            {4, 13, VK_RETURN},        {5, 0x5E5B, VK_ESCAPE},
        {6, 32, VK_SPACE},         {7, 48, '0'},              {16, 57, '9'},
        {17, 97, 'A'},             {42, 122, 'Z'},            {43, 0x5E3F, VK_DELETE},
        {44, 47, VK_DIVIDE},       {45, 42, VK_MULTIPLY},     {46, 45, VK_SUBTRACT},
        {47, 43, VK_ADD},          {48, 44, VK_NUMPAD0},      {57, 53, VK_NUMPAD9},
        {58, 54, VK_CLEAR},        {59, 55, VK_PAUSE},        {60, 56, VK_UP},
        {61, 57, VK_DOWN},         {62, 58, VK_RIGHT},        {63, 59, VK_LEFT},
        {64, 60, VK_INSERT},       {65, 61, VK_HOME},         {66, 62, VK_END},
        {67, 63, VK_F1},           {81, 77, VK_F15},          {82, 78, VK_RSHIFT},
        {83, 79, VK_LSHIFT},       {84, 80, VK_RCONTROL},     {85, 81, VK_LCONTROL},
        {86, 83, VK_HELP},         {87, 84, VK_PRINT},        {88, 85, VK_MENU},
    };
    for (const Expected& e : expected) {
        EXPECT_EQ(rows[e.row].key, e.key) << "row " << e.row;
        EXPECT_EQ(rows[e.row].virtualKey, e.virtualKey) << "row " << e.row;
    }
    // The ranges run one number apart, every virtual key has one row, and
    // no key gives 82.
    std::set<int> virtualKeys;
    for (int i = 0; i < KeyMap::rowCount; ++i) {
        EXPECT_TRUE(virtualKeys.insert(rows[i].virtualKey).second) << "virtual key " << rows[i].virtualKey;
        if ((i > 7 && i <= 16) || (i > 17 && i <= 42) || (i > 48 && i <= 57) || (i > 67 && i <= 81)) {
            EXPECT_EQ(rows[i].key, rows[i - 1].key + 1) << "row " << i;
            EXPECT_EQ(rows[i].virtualKey, rows[i - 1].virtualKey + 1) << "row " << i;
        }
        EXPECT_NE(rows[i].key, 82);
    }
}

TEST(D3dKeyMap, SharedNumbersReachTheGameAsTheyAre)
{
    struct Case {
        std::initializer_list<int> held;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {{VK_NUMPAD8}, {"g52"}},                  // the number of digit 4
        {{'8'}, {"g56"}},                         // the number of arrow up
        {{'8', VK_UP}, {"g56", "g56"}},           // one number twice in a frame
        {{VK_SUBTRACT, VK_NUMPAD1}, {"g45", "g45"}},
        {{VK_DIVIDE, VK_NUMPAD3}, {"g47", "g47"}},
        {{VK_NUMPAD4, '0'}, {"g48", "g48"}},
        {{VK_MENU}, {"g85"}},
    };
    for (const Case& c : cases) {
        HeldKeys state(c.held);
        RecordingReceiver receiver;
        EXPECT_FALSE(deliverHeldKeys(state, receiver));
        EXPECT_EQ(receiver.log, c.expected) << c.expected.front();
    }
}

TEST(D3dHeldKeys, EscapeStopsTheFrameAfterTheRowsBeforeIt)
{
    // Mouse buttons, backspace, tab and enter come before Escape; space and
    // the letters after it.
    HeldKeys state({VK_LBUTTON, VK_RETURN, VK_ESCAPE, VK_SPACE, 'A'});
    RecordingReceiver receiver;
    EXPECT_TRUE(deliverHeldKeys(state, receiver));
    EXPECT_EQ(receiver.log, (std::vector<std::string>{"g254", "g13"}));

    HeldKeys escapeOnly({VK_ESCAPE});
    RecordingReceiver nothing;
    EXPECT_TRUE(deliverHeldKeys(escapeOnly, nothing));
    EXPECT_TRUE(nothing.log.empty());
}

TEST(D3dHeldKeys, ConsoleTakesKeysWhenVisibleAndSharesThemWhenHidden)
{
    struct Case {
        bool console;
        bool visible;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {false, false, {"g255", "g98"}},
        {true, false, {"g255", "c255", "g98", "c98"}},
        {true, true, {"c255", "c98"}},
    };
    for (const Case& c : cases) {
        HeldKeys state({'B', VK_RBUTTON});
        RecordingReceiver receiver;
        receiver.console = c.console;
        receiver.visible = c.visible;
        EXPECT_FALSE(deliverHeldKeys(state, receiver));
        EXPECT_EQ(receiver.log, c.expected) << "console " << c.console << " visible " << c.visible;
    }
}

TEST(D3dPointer, ClientPositionsScaleToTheDeviceSizeAndLeaveItAsTheOrigin)
{
    struct Case {
        int clientX, clientY, clientWidth, clientHeight;
        int x, y;
    };
    // Device 640 x 480.
    const Case cases[] = {
        {320, 240, 640, 480, 320, 240},
        {640, 480, 1280, 960, 320, 240},     // enlarged to twice the size: the centre
        {1279, 959, 1280, 960, 639, 479},
        {160, 120, 320, 240, 320, 240},      // shrunk to half
        {-1, 10, 640, 480, 0, 0},
        {-1, 10, 1280, 960, 0, 5},           // -0.5 truncates to 0: still inside
        {-2, 10, 1280, 960, 0, 0},
        {640, 10, 640, 480, 0, 0},
        {10, 480, 640, 480, 0, 0},
        {100, 100, 0, 0, 0, 0},              // minimised: no client area
        {2000000000, 5, 640, 480, 0, 0},
    };
    for (const Case& c : cases) {
        int x = -7;
        int y = -7;
        clientToDevicePosition(c.clientX, c.clientY, 640, 480, c.clientWidth, c.clientHeight, &x, &y);
        EXPECT_EQ(x, c.x) << c.clientX << ", " << c.clientY << " in " << c.clientWidth << " x " << c.clientHeight;
        EXPECT_EQ(y, c.y) << c.clientX << ", " << c.clientY << " in " << c.clientWidth << " x " << c.clientHeight;
    }

    const Case targets[] = {
        {-1, 10, 0, 0, 0, 0}, {10, -1, 0, 0, 0, 0}, {639, 479, 0, 0, 639, 479},
        {640, 0, 0, 0, 0, 0}, {0, 480, 0, 0, 0, 0}, {5, 6, 0, 0, 5, 6},
    };
    for (const Case& c : targets) {
        int x = -7;
        int y = -7;
        mouseTargetPosition(c.clientX, c.clientY, 640, 480, &x, &y);
        EXPECT_EQ(x, c.x) << c.clientX << ", " << c.clientY;
        EXPECT_EQ(y, c.y) << c.clientX << ", " << c.clientY;
    }
}

TEST(D3dDisplayInfo, VendorTableDriverVersionAndModesOncePerSize)
{
    struct Vendor {
        uint32_t id;
        const char* name;
    };
    const Vendor vendors[] = {
        {0x1002, "ATI Technologies Inc."},  {0x102B, "Matrox Electronic Systems Ltd."},
        {0x10DE, "NVIDIA Corporation"},     {0x121A, "3dfx Interactive Inc"},
        {0x5333, "S3 Graphics Co., Ltd."},  {0x8086, "Intel Corporation"},
        {0x1234, "unknown vendor"},         {0, "unknown vendor"},
    };
    for (const Vendor& v : vendors)
        EXPECT_STREQ(vendorName(v.id), v.name) << std::hex << v.id;

    EXPECT_EQ(driverVersionText(0x00080015u, 0x000D23AFu), "8.21.13.9135");
    EXPECT_EQ(driverVersionText(0xFFFF0000u, 0x0000FFFFu), "65535.0.0.65535");

    // 640 x 480 at 60, 75 and 85 Hz, 800 x 600 between: each size once, in
    // the order first reported.
    const DisplayMode reported[] = {{640, 480}, {640, 480}, {800, 600}, {640, 480}, {480, 640}};
    std::vector<DisplayMode> modes;
    for (const DisplayMode& mode : reported)
        addDisplayMode(modes, mode.width, mode.height);
    ASSERT_EQ(modes.size(), 3u);
    EXPECT_EQ(modes[0].width, 640);
    EXPECT_EQ(modes[0].height, 480);
    EXPECT_EQ(modes[1].width, 800);
    EXPECT_EQ(modes[2].width, 480);
}

TEST(D3dFrameClock, ElapsedSecondsSkippedFramesAndFramesPerSecond)
{
    FrameClock clock;
    clock.start(1000, 5000);
    EXPECT_FALSE(clock.tick(5000)) << "no time has passed: no frame";
    ASSERT_TRUE(clock.tick(5020));
    EXPECT_FLOAT_EQ(clock.elapsed(), 0.02f);
    EXPECT_EQ(clock.fps(), 0.0f) << "no figure before a second has passed";
    for (int t = 5040; t <= 6000; t += 20)
        ASSERT_TRUE(clock.tick(t));
    EXPECT_EQ(clock.fps(), 0.0f) << "exactly one second is not more than one";
    ASSERT_TRUE(clock.tick(6010));
    // 50 frames (5020 to 6000) and this one in 1.01 s.
    EXPECT_NEAR(clock.fps(), 51.0f / 1.01f, 0.01f);
    EXPECT_FLOAT_EQ(clock.elapsed(), 0.01f);
}

TEST(D3dFrameClock, APauseGivesItsTimeToNoFrame)
{
    FrameClock clock;
    clock.start(1000, 0);
    ASSERT_TRUE(clock.tick(20));
    clock.pause(30);
    clock.pause(500);   // a second reason to stop: still stopped since 30
    EXPECT_TRUE(clock.paused());
    EXPECT_FALSE(clock.tick(5000)) << "no frame while stopped";
    clock.resume(60030);
    clock.resume(60035);   // running already: nothing
    ASSERT_TRUE(clock.tick(60040));
    // 10 ms before the pause and 10 after it.
    EXPECT_FLOAT_EQ(clock.elapsed(), 0.02f);

    // The figure counts running time only: 50 frames of 20 ms with a pause
    // of an hour among them.
    FrameClock rate;
    rate.start(1000, 0);
    int64_t t = 0;
    for (int frame = 1; frame <= 51; ++frame) {
        if (frame == 20) {
            rate.pause(t + 5);
            t += 3600000;
            rate.resume(t + 5);
        }
        t += 20;
        ASSERT_TRUE(rate.tick(t));
        EXPECT_FLOAT_EQ(rate.elapsed(), 0.02f) << "frame " << frame;
    }
    EXPECT_NEAR(rate.fps(), 51.0f / 1.02f, 0.01f);
}

TEST(D3dResources, WithoutADirect3dDeviceFactoriesStillAnswerUsableObjects)
{
    // A device that never ran has no Direct3D device: what the game asks
    // for comes back without its Direct3D part, each told once.
    D3dDevice device;
    testing::internal::CaptureStderr();
    const uint32_t pixels[4] = {1, 2, 3, 4};
    Texture* texture = device.createTexture(false, pixels, 2, 2);
    Texture* target = device.createTexture(true, nullptr, 4, 4);
    VertexBuffer* vertices = device.createVertexBuffer(false, 4);
    IndexBuffer* indices = device.createIndexBuffer(true, 6);
    ASSERT_NE(texture, nullptr);
    ASSERT_NE(target, nullptr);
    ASSERT_NE(vertices, nullptr);
    ASSERT_NE(indices, nullptr);
    for (int round = 0; round < 3; ++round) {
        texture->lock()[3] = 0xFF00FF00u;
        texture->unlock();
        target->lock()[0] = 1;
        target->unlock();
        Vertex* v = vertices->lock();
        ASSERT_NE(v, nullptr);
        v[3].x = 2.0f;
        vertices->unlock();
        uint32_t* index = indices->lock();
        ASSERT_NE(index, nullptr);
        index[5] = 9;
        indices->unlock();
    }
    EXPECT_EQ(vertices->lock()[0].color, 0xFFFFFFFFu) << "a new buffer's colours are opaque white";
    vertices->unlock();
    EXPECT_EQ(device.resources().textures().size(), 2u);
    EXPECT_EQ(device.resources().vertexBuffers().size(), 1u);
    EXPECT_EQ(device.resources().indexBuffers().size(), 1u);
    device.releaseAllResources();
    const std::string messages = testing::internal::GetCapturedStderr();
    const std::string told[] = {"a texture of 2 x 2 pixels", "a texture of 4 x 4 pixels",
                                "a vertex buffer of 4 vertices", "an index buffer of 6 indices"};
    size_t lines = 0;
    for (char c : messages)
        lines += c == '\n';
    EXPECT_EQ(lines, 4u) << messages;
    for (const std::string& part : told)
        EXPECT_NE(messages.find(part), std::string::npos) << part << " in " << messages;
}

TEST(D3dBuffers, ARefusedLockAnswersASpareCopyNotNull)
{
    // A buffer Direct3D did not give (null) has every lock refused.
    testing::internal::CaptureStderr();
    {
        D3dIndexBuffer indices(false, 6, nullptr);
        uint32_t* index = indices.lock();
        ASSERT_NE(index, nullptr);
        for (int i = 0; i < 6; ++i)
            index[i] = 7;
        indices.unlock();
        D3dVertexBuffer vertices(false, 4, nullptr);
        Vertex* vertex = vertices.lock();
        ASSERT_NE(vertex, nullptr);
        vertex[3].x = 1.0f;
        vertices.unlock();
        ASSERT_NE(vertices.lockToRewrite(), nullptr);
        vertices.unlock();
    }
    // The factory tells of a buffer Direct3D did not give; its locks, one
    // each frame for some buffers, say nothing more.
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}
