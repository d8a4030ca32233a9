#ifndef QUORIN_RESIDENTMEMORY_H
#define QUORIN_RESIDENTMEMORY_H

#include <cstddef>

// The bytes of this process held in memory: VmRSS of /proc/self/status on
// Linux, the working set (GetProcessMemoryInfo) on Windows, which Wine
// takes from the same figure of its process. 0 when it cannot be read.
size_t residentBytes();

#endif
