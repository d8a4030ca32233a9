// The render-state path and screen-rectangle drawing run hundreds of times a
// frame: once warmed up they must not touch the heap. This program counts
// every operator new in the process, so it is kept apart from the other
// engine tests.
#include "RecordingDevice.h"
#include "RenderState.h"
#include "Texture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

namespace {
long allocations = 0;
}

void* operator new(std::size_t size)
{
    ++allocations;
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept
{
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}

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
    long start = allocations;
    Texture* texture = createBlankTexture(false, 16, 16);
    ASSERT_GT(allocations, start) << "the counter sees no allocations";
    drawLikeAFrame(device, texture);

    long before = allocations;
    for (int frame = 0; frame < 20; ++frame)
        drawLikeAFrame(device, texture);
    EXPECT_EQ(allocations - before, 0);
}
