#include "RecordingDevice.h"
#include "Texture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Notes the hooks in order, as a game would see them.
class HookedDevice : public RecordingDevice {
public:
    std::vector<std::string> events;
    int quitAfter = -1;

    void onInit() override
    {
        events.push_back("init");
        createBlankTexture(false, 2, 2);
    }
    void onKey(int key) override { events.push_back("key " + std::to_string(key)); }
    void onFrame(float elapsed) override
    {
        events.push_back("frame " + std::to_string(elapsed));
        if (--quitAfter == 0)
            requestQuit();
    }
    void onShutdown() override { events.push_back("shutdown"); }
};

}

TEST(RecordingDevice, RunFollowsTheBackEndOrder)
{
    HookedDevice device;
    device.setMaxFrames(3);
    device.setFrameTime(0.5f);
    device.setHeldKeys({Key::up});
    device.holdKeysAt(1, {Key::space});
    EXPECT_EQ(device.run(320, 200, false, "Quorin", false, true), 0);

    EXPECT_EQ(device.events,
              (std::vector<std::string>{"init", "key 56", "frame 0.500000", "key 56", "key 32",
                                        "frame 0.500000", "key 56", "frame 0.500000", "shutdown"}));
    EXPECT_EQ(device.width(), 320);
    EXPECT_EQ(device.height(), 200);
    EXPECT_EQ(device.cursorHotX(), 1);
    EXPECT_EQ(device.cursorData()[0], 0x70);
    EXPECT_EQ(device.count("beginFrame"), 3);
    EXPECT_EQ(device.count("endFrame"), 3);
    EXPECT_EQ(device.registry().textures().size(), 0u);

    // Each frame step: render target to the screen, stage 0, then the frame.
    const std::vector<DeviceCall>& calls = device.calls();
    size_t begin = 0;
    while (!calls[begin].is("beginFrame"))
        ++begin;
    EXPECT_TRUE(calls[begin + 1].is("setRenderTarget"));
    EXPECT_EQ(calls[begin + 1].object, nullptr);
    EXPECT_TRUE(calls[begin + 2].is("setTextureStage"));
    EXPECT_EQ(calls[begin + 2].intArg(0), 0);
    EXPECT_TRUE(device.last("releaseAllResources") > device.last("endFrame"));
}

TEST(RecordingDevice, QuitEndsTheLoopAfterTheCurrentFrame)
{
    HookedDevice quitting;
    quitting.setMaxFrames(10);
    quitting.quitAfter = 2;
    quitting.run(640, 480, false, "Quorin", false, true);
    EXPECT_EQ(quitting.framesRun(), 2);

    // Escape delivers nothing, not even the keys held with it, and the
    // frame of that turn still runs.
    HookedDevice escaping;
    escaping.setMaxFrames(10);
    escaping.holdKeysAt(1, {Key::enter, Key::escape});
    escaping.run(640, 480, false, "Quorin", false, true);
    EXPECT_EQ(escaping.framesRun(), 2);
    EXPECT_EQ(escaping.events,
              (std::vector<std::string>{"init", "frame 0.016667", "frame 0.016667", "shutdown"}));
}
