#include "SwapInterval.h"

#include <cstring>

bool extensionListHas(const char* list, const char* name)
{
    if (!list || !name || !*name)
        return false;
    const size_t length = std::strlen(name);
    for (const char* p = list; (p = std::strstr(p, name)) != nullptr; p += length) {
        const bool startsWord = p == list || p[-1] == ' ';
        const bool endsWord = p[length] == ' ' || p[length] == '\0';
        if (startsWord && endsWord)
            return true;
    }
    return false;
}
