// Reading fixture files of the build machine (fonts from Debian, files made
// by the content tools) into memory, for tests that hand them to the engine
// as DataFiles or through a MemoryFileSystem.
#pragma once

#include <string>

// The whole file's bytes; empty when it cannot be read.
std::string readHostFile(const std::string& path);
