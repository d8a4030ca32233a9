#include "GlDisplayInfo.h"
#include "SwapInterval.h"

#include <gtest/gtest.h>

TEST(DisplayInfo, TakesTheDriverStringsAndSdlModesInOrder)
{
    SDL_Rect large = {0, 0, 1024, 768};
    SDL_Rect small = {0, 0, 640, 480};
    SDL_Rect* modes[] = {&large, &small, &small, nullptr};
    DisplayInfo info;
    info.displayModes.push_back(DisplayMode{1, 1});
    EXPECT_TRUE(fillDisplayInfo(info, "Maker", "Renderer 3", "1.5 Driver", "GL_ARB_a GL_ARB_b", true, modes));
    EXPECT_EQ(info.apiName, "OpenGL");
    EXPECT_EQ(info.vendor, "Maker");
    EXPECT_EQ(info.renderer, "Renderer 3");
    EXPECT_EQ(info.version, "1.5 Driver");
    EXPECT_EQ(info.extensions, "GL_ARB_a GL_ARB_b");
    EXPECT_TRUE(info.extensionsAvailable);
    ASSERT_EQ(info.displayModes.size(), 3u);
    EXPECT_EQ(info.displayModes[0].width, 1024);
    EXPECT_EQ(info.displayModes[0].height, 768);
    EXPECT_EQ(info.displayModes[2].width, 640);
    EXPECT_EQ(info.displayModes[2].height, 480);
}

TEST(DisplayInfo, NoListAndAnySizeLeaveTheModesEmpty)
{
    for (SDL_Rect** modes : {static_cast<SDL_Rect**>(nullptr), reinterpret_cast<SDL_Rect**>(-1)}) {
        DisplayInfo info;
        info.displayModes.push_back(DisplayMode{800, 600});
        fillDisplayInfo(info, "v", "r", "1.1", "", false, modes);
        EXPECT_TRUE(info.displayModes.empty());
        EXPECT_FALSE(info.extensionsAvailable);
    }
}

TEST(DisplayInfo, MissingDriverStringReadsEmptyAndIsReported)
{
    DisplayInfo info;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(fillDisplayInfo(info, "Maker", nullptr, "2.1", nullptr, false, nullptr));
    const std::string messages = testing::internal::GetCapturedStderr();
    EXPECT_EQ(info.vendor, "Maker");
    EXPECT_EQ(info.renderer, "");
    EXPECT_EQ(info.version, "2.1");
    EXPECT_NE(messages.find("renderer"), std::string::npos) << messages;
    EXPECT_NE(messages.find("extension"), std::string::npos) << messages;
}

TEST(SwapInterval, ExtensionNamesMatchWholeWordsOnly)
{
    struct Case {
        const char* list;
        const char* name;
        bool found;
    };
    const Case cases[] = {
        {"GLX_EXT_swap_control GLX_SGI_video_sync", "GLX_EXT_swap_control", true},
        {"GLX_ARB_a GLX_MESA_swap_control", "GLX_MESA_swap_control", true},
        {"GLX_EXT_swap_control_tear", "GLX_EXT_swap_control", false},
        {"GLX_EXT_swap_control_tear GLX_EXT_swap_control", "GLX_EXT_swap_control", true},
        {"XGLX_SGI_swap_control", "GLX_SGI_swap_control", false},
        {"", "GLX_SGI_swap_control", false},
        {nullptr, "GLX_SGI_swap_control", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(extensionListHas(c.list, c.name), c.found) << (c.list ? c.list : "(null)");
}

TEST(SwapInterval, WithoutAContextNothingIsAvailable)
{
    EXPECT_FALSE(swapIntervalAvailable());
    EXPECT_FALSE(setSwapInterval(1));
}
