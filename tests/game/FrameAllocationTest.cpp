// Frames allocate nothing: the menus, ship selection and the race draw
// from what was loaded when their scene was built.
#include "GameFixture.h"

#include "MenuHostScene.h"
#include "Ship.h"

#include "MemoryFileSystem.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<long> allocations{0};

} // namespace

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer owns the allocator: count through its hook (declared here,
// as its header is not installed).
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*onMalloc)(const volatile void*, std::size_t),
                                                         void (*onFree)(const volatile void*));

namespace {

void countAllocation(const volatile void*, std::size_t)
{
    allocations.fetch_add(1, std::memory_order_relaxed);
}

void ignoreFree(const volatile void*)
{
}

const int hooked = __sanitizer_install_malloc_and_free_hooks(countAllocation, ignoreFree);

} // namespace
#else
void* operator new(std::size_t size)
{
    allocations.fetch_add(1, std::memory_order_relaxed);
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
#endif

class FrameAllocationTest : public GameFixture {
protected:
    // Allocations and file opens made by `frames` frames of 1/60 s, after a
    // few frames of warm-up (growable tables of the engine reach their size
    // in the first frames of a screen).
    //
    // The OpenGL device replays and empties the render-state cache's list
    // of pending blend and texture states on every setTexture; the
    // recording device never does, so its list would grow: it is emptied
    // here before each frame as the real device would.
    void step()
    {
        game->renderStates().applyPending();
        game->onFrame(1.0f / 60.0f);
    }

    void measure(int frames, long& allocated, int& opened)
    {
        for (int i = 0; i < 5; ++i)
            step();
        MemoryFileSystem* archive = static_cast<MemoryFileSystem*>(game->archive);
        archive->resetCounts();
        long before = allocations.load();
        for (int i = 0; i < frames; ++i)
            step();
        allocated = allocations.load() - before;
        opened = archive->opens();
    }
};

TEST_F(FrameAllocationTest, MenuAndRaceFramesAllocateNothingAndOpenNoFile)
{
    long before = allocations.load();
    delete new int(1);
    ASSERT_GT(allocations.load(), before) << "the allocation counter counts";

    ASSERT_TRUE(start());
    game->setRecording(false);
    long allocated = 0;
    int opened = 0;
    measure(30, allocated, opened);
    EXPECT_EQ(allocated, 0) << "main menu";
    EXPECT_EQ(opened, 0) << "main menu";

    press(Key::down);
    press(Key::down);
    press(Key::enter);
    measure(30, allocated, opened);
    EXPECT_EQ(allocated, 0) << "instructions";
    EXPECT_EQ(opened, 0) << "instructions";

    press(Key::enter);
    press(Key::up);
    press(Key::up);
    press(Key::down);
    press(Key::enter);
    press(Key::right);
    measure(30, allocated, opened);
    EXPECT_EQ(allocated, 0) << "ship selection";
    EXPECT_EQ(opened, 0) << "ship selection";

    press(Key::enter);
    press(Key::enter);
    frame();
    ASSERT_NE(game->ship2, nullptr);
    // Past the countdown (whose sounds the recording sound manager logs).
    for (int i = 0; i < 100; ++i)
        frame();
    measure(30, allocated, opened);
    EXPECT_EQ(allocated, 0) << "two-player race";
    EXPECT_EQ(opened, 0) << "two-player race";
    EXPECT_GT(game->ship1->distance, 0.0f);
    EXPECT_EQ(game->levelIndex, 0) << "still the first race";
}
