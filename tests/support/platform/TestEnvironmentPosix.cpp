#include "TestEnvironment.h"

#include <cstdlib>

void setEnvironmentDefault(const char* name, const char* value)
{
    setenv(name, value, 0);
}
