// Environment variables for tests that run their programs outside CTest's
// environment settings too.
#pragma once

// Sets name to value unless the environment already has it.
void setEnvironmentDefault(const char* name, const char* value);
