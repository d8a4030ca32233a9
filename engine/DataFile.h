#ifndef QUORIN_DATAFILE_H
#define QUORIN_DATAFILE_H

#include <string>
#include <vector>

// A named block of bytes read whole from a file system. It holds its own
// copy of the bytes, with no terminating zero.
class DataFile {
public:
    // Copies count bytes (none when bytes is null or count is negative).
    DataFile(const std::string& path, const void* bytes, int count);
    virtual ~DataFile();

    const std::string& path() const { return path_; }
    // Upper-case text after the first '.' of the path; may hold further dots
    // and slashes; empty without a '.'.
    const std::string& extension() const { return extension_; }
    const unsigned char* data() const { return bytes_.data(); }
    int size() const { return static_cast<int>(bytes_.size()); }

    static std::string computeExtension(const std::string& path);

private:
    std::string path_;
    std::string extension_;
    std::vector<unsigned char> bytes_;
};

#endif
