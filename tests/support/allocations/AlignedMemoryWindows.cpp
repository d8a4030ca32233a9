#include "AlignedMemory.h"

#include <malloc.h>

// The C runtime has no aligned_alloc; its aligned blocks need their own free.
void* allocateAligned(std::size_t size, std::size_t alignment)
{
    return _aligned_malloc(size, alignment);
}

void freeAligned(void* block)
{
    _aligned_free(block);
}
