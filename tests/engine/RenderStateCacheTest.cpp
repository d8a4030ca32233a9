#include "RecordingDevice.h"
#include "RenderState.h"
#include "RenderStateCache.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

typedef std::vector<std::pair<int, int>> States;

States sentStates(const RecordingDevice& device)
{
    States states;
    for (const DeviceCall* call : device.callsNamed("setRenderState"))
        states.emplace_back(call->intArg(0), call->intArg(1));
    return states;
}

class RenderStateCacheTest : public ::testing::Test {
protected:
    RecordingDevice device;
};

}

TEST_F(RenderStateCacheTest, ResetSendsTheDefaultTableInOrder)
{
    device.resetRenderStates();
    EXPECT_EQ(sentStates(device), (States{{0, 5}, {4, 25}, {6, 34}, {3, 23}, {5, 32}, {7, 36}, {1, 8}}));
    EXPECT_EQ(device.getRenderState(RenderStateType::depthTest), RenderStateValue::depthGreater);
    EXPECT_EQ(device.getRenderState(2), RenderStateValue::unset);
    EXPECT_TRUE(device.renderStates().pending().empty());

    // A later reset pushes a copy and sends nothing.
    device.clearCalls();
    device.setRenderState(0, 1);
    device.clearCalls();
    device.resetRenderStates();
    EXPECT_TRUE(sentStates(device).empty());
    EXPECT_EQ(device.getRenderState(0), 1);
    EXPECT_EQ(device.renderStates().depth(), 2);
}

TEST_F(RenderStateCacheTest, PopResendsExactlyTheStatesThatDiffer)
{
    device.resetRenderStates();
    device.pushRenderStates();
    device.setRenderState(0, 1);
    device.setRenderState(3, 22);
    device.setRenderState(4, 28);   // changed and changed back: not resent
    device.setRenderState(4, 25);
    device.setRenderState(2, 9);    // not cached: ignored by the table
    device.clearCalls();
    device.popRenderStates();
    EXPECT_EQ(sentStates(device), (States{{0, 5}, {3, 23}}));
    EXPECT_EQ(device.getRenderState(0), 5);
    EXPECT_EQ(device.getRenderState(3), 23);
    EXPECT_EQ(device.getRenderState(2), RenderStateValue::unset);
}

TEST_F(RenderStateCacheTest, ApplyCurrentResendsTheWholeTopTableAndChangesNothing)
{
    RenderStateCache cache(&device);
    cache.applyCurrent();
    EXPECT_TRUE(sentStates(device).empty()) << "nothing before reset";
    device.resetRenderStates();
    device.setRenderState(0, 1);
    device.pushRenderStates();
    device.setRenderState(3, 22);
    device.setRenderState(4, 28);
    device.clearCalls();
    device.renderStates().applyCurrent();
    EXPECT_EQ(sentStates(device), (States{{0, 1}, {4, 28}, {6, 34}, {3, 22}, {5, 32}, {7, 36}, {1, 8}}));
    EXPECT_EQ(device.renderStates().depth(), 2);
    EXPECT_FALSE(device.renderStates().applying());
    device.popRenderStates();
    EXPECT_EQ(device.getRenderState(3), 23) << "the table below is untouched";
}

TEST_F(RenderStateCacheTest, NestedPushesRestoreTheirOwnLevel)
{
    device.resetRenderStates();
    device.setRenderState(6, 35);
    device.pushRenderStates();
    device.setRenderState(6, 34);
    device.pushRenderStates();
    device.setRenderState(6, 35);
    device.popRenderStates();
    EXPECT_EQ(device.getRenderState(6), 34);
    device.popRenderStates();
    EXPECT_EQ(device.getRenderState(6), 35);

    // The bottom table is never popped.
    device.clearCalls();
    device.popRenderStates();
    EXPECT_TRUE(sentStates(device).empty());
    EXPECT_EQ(device.renderStates().depth(), 1);
}

TEST_F(RenderStateCacheTest, SetAnswersWhetherTheValueChangedButAlwaysReachesThePlatform)
{
    device.resetRenderStates();
    RenderStateCache& cache = device.renderStates();
    EXPECT_TRUE(cache.set(0, 2));
    EXPECT_FALSE(cache.set(0, 2));
    EXPECT_FALSE(cache.set(2, 1));

    device.clearCalls();
    device.setRenderState(3, 24);
    device.setRenderState(3, 24);
    EXPECT_EQ(sentStates(device), (States{{3, 24}, {3, 24}}));
}

TEST_F(RenderStateCacheTest, PendingListHoldsBlendAndTextureSetsUntilApplied)
{
    device.resetRenderStates();
    RenderStateCache& cache = device.renderStates();
    device.setRenderState(4, 28);
    device.setRenderState(5, 33);
    device.setRenderState(5, 33);   // unchanged, still recorded
    device.setRenderState(0, 1);    // other types are not
    ASSERT_EQ(cache.pending().size(), 3u);
    EXPECT_EQ(cache.pending()[0].type, 4);
    EXPECT_EQ(cache.pending()[0].value, 28);

    device.clearCalls();
    cache.applyPending();
    EXPECT_EQ(sentStates(device), (States{{4, 28}, {5, 33}, {5, 33}}));
    // Sets made while the cache applies add nothing.
    EXPECT_TRUE(cache.pending().empty());
    EXPECT_FALSE(cache.applying());

    // A cache that does not track the list keeps it empty.
    RenderStateCache untracked(&device, false);
    untracked.reset();
    untracked.set(4, 26);
    EXPECT_TRUE(untracked.pending().empty());
}

TEST_F(RenderStateCacheTest, ACacheNotYetResetHoldsNothing)
{
    RenderStateCache cache(&device);
    EXPECT_EQ(cache.get(0), RenderStateValue::unset);
    EXPECT_FALSE(cache.set(0, 1));
    cache.push();
    cache.pop();
    EXPECT_EQ(cache.depth(), 0);
    EXPECT_TRUE(cache.pending().empty());
    EXPECT_EQ(device.count("setRenderState"), 0);
}
