#include "AllocationCounter.h"

#include "AlignedMemory.h"

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

namespace {

std::atomic<long> allocations{0};
std::atomic<std::size_t> largest{0};

void* countedAllocation(std::size_t size, std::size_t alignment = 0)
{
    allocations.fetch_add(1, std::memory_order_relaxed);
    std::size_t seen = largest.load(std::memory_order_relaxed);
    while (size > seen && !largest.compare_exchange_weak(seen, size, std::memory_order_relaxed)) {
    }
    if (size == 0)
        size = 1;
    // The aligned forms pair with the aligned deletes, which free through
    // freeAligned, so they always allocate through allocateAligned.
    if (alignment != 0)
        return allocateAligned(size, alignment);
    return std::malloc(size);
}

} // namespace

long allocationCount()
{
    return allocations.load(std::memory_order_relaxed);
}

void resetLargestAllocation()
{
    largest.store(0, std::memory_order_relaxed);
}

std::size_t largestAllocation()
{
    return largest.load(std::memory_order_relaxed);
}

bool allocationCounterCounts()
{
    const long before = allocationCount();
    // The operator itself, not a new-expression: a compiler may drop a
    // new/delete pair whose memory is never used, not a call whose result
    // is kept.
    void* volatile probe = ::operator new(sizeof(int));
    ::operator delete(probe);
    return allocationCount() > before;
}

// Every form is replaced, so each allocation and its release stay paired.
void* operator new(std::size_t size)
{
    if (void* p = countedAllocation(size))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return countedAllocation(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return countedAllocation(size); }
void* operator new(std::size_t size, std::align_val_t a)
{
    if (void* p = countedAllocation(size, static_cast<std::size_t>(a)))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size, std::align_val_t a) { return operator new(size, a); }
void* operator new(std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept
{
    return countedAllocation(size, static_cast<std::size_t>(a));
}
void* operator new[](std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept
{
    return countedAllocation(size, static_cast<std::size_t>(a));
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { freeAligned(p); }
void operator delete[](void* p, std::align_val_t) noexcept { freeAligned(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { freeAligned(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { freeAligned(p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { freeAligned(p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { freeAligned(p); }
