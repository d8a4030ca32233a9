// Over-aligned blocks for the allocation counter's aligned operator new.
#pragma once

#include <cstddef>

// A block of at least size bytes at a multiple of alignment (a power of
// two); null when memory is short.
void* allocateAligned(std::size_t size, std::size_t alignment);
// Releases a block from allocateAligned (null does nothing).
void freeAligned(void* block);
