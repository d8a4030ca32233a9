#include "DataFile.h"

DataFile::DataFile(const std::string& path, const void* bytes, int count)
    : path_(path), extension_(computeExtension(path))
{
    if (bytes && count > 0) {
        const unsigned char* begin = static_cast<const unsigned char*>(bytes);
        bytes_.assign(begin, begin + count);
    }
}

DataFile::~DataFile()
{
}

std::string DataFile::computeExtension(const std::string& path)
{
    std::string upper = path;
    for (char& c : upper)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 32);
    std::string::size_type dot = upper.find('.');
    if (dot == std::string::npos)
        return std::string();
    return upper.substr(dot + 1);
}
