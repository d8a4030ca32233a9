// The render-state path and screen-rectangle drawing run hundreds of times a
// frame: once warmed up they must not touch the heap. This program counts
// every operator new in the process, so it is kept apart from the other
// engine tests.
#include "AllocationCounter.h"
#include "RecordingDevice.h"
#include "RenderState.h"
#include "Texture.h"

#include <gtest/gtest.h>

namespace {

void drawLikeAFrame(RecordingDevice& device, Texture* texture)
{
    for (int i = 0; i < 50; ++i) {
        device.pushRenderStates();
        device.setRenderState(RenderStateType::blendMode, RenderStateValue::blendAlpha);
        device.setRenderState(RenderStateType::cullMode, RenderStateValue::cullNone);
        device.pushRenderStates();
        device.setRenderState(RenderStateType::depthTest, RenderStateValue::depthOff);
        texture->drawAt(i, i);
        device.popRenderStates();
        device.popRenderStates();
        device.getRenderState(RenderStateType::fogMode);
    }
    device.renderStates().applyPending();
}

}

TEST(RenderPath, PushSetPopAndDrawDoNotAllocateOnceWarm)
{
    RecordingDevice device;
    device.setRecording(false);
    device.resetRenderStates();
    long start = allocationCount();
    Texture* texture = createBlankTexture(false, 16, 16);
    ASSERT_GT(allocationCount(), start) << "the counter sees no allocationCount()";
    drawLikeAFrame(device, texture);

    long before = allocationCount();
    for (int frame = 0; frame < 20; ++frame)
        drawLikeAFrame(device, texture);
    EXPECT_EQ(allocationCount() - before, 0);
}
