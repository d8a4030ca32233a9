#include "GlDevice.h"
#include "VertexBuffer.h"

#include <SDL/SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

class CountingDevice : public GlDevice {
public:
    int inits = 0;
    int shutdowns = 0;
    void onInit() override { ++inits; }
    void onShutdown() override { ++shutdowns; }
};

struct Failure {
    const char* videoDriver;
    const char* message;
};

} // namespace

// No window is needed: both failures come before one would open.
TEST(StartupFailure, IsReportedOnStderrWithANonZeroResult)
{
    const Failure failures[] = {
        // SDL cannot start its video subsystem at all.
        {"no-such-video-driver", "SDL cannot start its video subsystem"},
        // SDL starts, but its dummy driver has no OpenGL video mode.
        {"dummy", "cannot open a 640 x 480 OpenGL window"},
    };
    for (const Failure& failure : failures) {
        setenv("SDL_VIDEODRIVER", failure.videoDriver, 1);
        CountingDevice device;
        testing::internal::CaptureStderr();
        const int result = device.run(640, 480, false, "Quorin", false, true);
        const std::string messages = testing::internal::GetCapturedStderr();
        EXPECT_NE(result, 0) << failure.videoDriver;
        EXPECT_NE(messages.find(failure.message), std::string::npos) << messages;
        EXPECT_EQ(device.inits, 0);
        EXPECT_EQ(device.shutdowns, 0);
        EXPECT_FALSE(SDL_WasInit(SDL_INIT_VIDEO)) << "SDL is shut down again";
    }
    unsetenv("SDL_VIDEODRIVER");
}

TEST(StartupFailure, WithoutAContextExtensionsStayOffAndNoTextureIsMade)
{
    CountingDevice device;
    EXPECT_FALSE(device.extensionsCapable());
    device.setUseExtensions(true);
    EXPECT_FALSE(device.useExtensions());

    const uint32_t pixel = 0xFFFFFFFFu;
    testing::internal::CaptureStderr();
    EXPECT_EQ(device.createTexture(false, &pixel, 1, 1), nullptr);
    const std::string messages = testing::internal::GetCapturedStderr();
    EXPECT_NE(messages.find("before the window is open"), std::string::npos) << messages;
    EXPECT_TRUE(device.resources().textures().empty());
    // Buffers need no context: without extensions they live in client memory.
    VertexBuffer* buffer = device.createVertexBuffer(false, 4);
    ASSERT_NE(buffer, nullptr);
    EXPECT_TRUE(buffer->isDynamic());
    device.releaseAllResources();
}
