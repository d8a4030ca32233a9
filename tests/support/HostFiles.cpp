#include "HostFiles.h"

#include <fstream>
#include <iterator>

std::string readHostFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
