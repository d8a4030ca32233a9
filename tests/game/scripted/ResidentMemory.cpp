#include "ResidentMemory.h"

#ifdef _WIN32
#include <windows.h>
#include <psapi.h>

size_t residentBytes()
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters))
        return 0;
    return counters.WorkingSetSize;
}
#else
#include <cstdio>
#include <cstring>

size_t residentBytes()
{
    FILE* status = std::fopen("/proc/self/status", "r");
    if (!status)
        return 0;
    char line[256];
    size_t kilobytes = 0;
    while (std::fgets(line, sizeof line, status)) {
        if (std::strncmp(line, "VmRSS:", 6) == 0) {
            std::sscanf(line + 6, "%zu", &kilobytes);
            break;
        }
    }
    std::fclose(status);
    return kilobytes * 1024;
}
#endif
