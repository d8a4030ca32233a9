#include "AlignedMemory.h"

#include <cstdlib>

void* allocateAligned(std::size_t size, std::size_t alignment)
{
    return std::aligned_alloc(alignment, (size + alignment - 1) / alignment * alignment);
}

void freeAligned(void* block)
{
    std::free(block);
}
