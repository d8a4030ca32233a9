#include "TestEnvironment.h"

#include <cstdlib>

void setEnvironmentDefault(const char* name, const char* value)
{
    if (!std::getenv(name))
        _putenv_s(name, value);
}
