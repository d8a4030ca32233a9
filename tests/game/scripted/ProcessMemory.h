#ifndef QUORIN_PROCESSMEMORY_H
#define QUORIN_PROCESSMEMORY_H

#include <cstddef>

// The bytes of this process held in memory: VmRSS of /proc/self/status on
// Linux, the working set (GetProcessMemoryInfo) on Windows, which Wine
// takes from the same figure of its process. 0 when it cannot be read.
size_t residentBytes();

// The bytes of the heap blocks the program holds, what malloc and new gave
// it and it has not freed: AddressSanitizer's count of them in a sanitized
// build, glibc's (mallinfo2) otherwise on Linux; on Windows the busy
// blocks of the process's heaps (HeapWalk), where the C runtime's blocks
// are (under Wine the drivers' own Linux allocations are not). Exact where
// the resident figure is not: freed memory stays resident with the
// allocator, and a small block kept is lost in it.
size_t heapBytesInUse();

#endif
