#ifndef QUORIN_ZIPDIRECTORY_H
#define QUORIN_ZIPDIRECTORY_H

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

// One member as the zip directory lists it, its zip64 values taken in.
struct ZipEntry {
    std::string name;   // every byte as stored
    unsigned flags = 0;
    unsigned method = 0;
    unsigned long crc = 0;
    unsigned long long packedSize = 0;
    unsigned long long size = 0;
    // Where the member's local header starts in the file, counted from the
    // file's first byte (past a self-extractor's stub, if there is one).
    unsigned long long localHeader = 0;
    // Why the entry cannot be read (a value marked as held in its zip64
    // record that is not there); empty when it can.
    std::string problem;
};

// The directory of a zip archive, found from its end: the end record (after
// an archive comment of up to 65,535 bytes), the zip64 end record its
// locator points to, and every entry they count. Offsets count from the
// start of the zip data: a self-extractor's stub before it, whether or not
// the offsets were adjusted for it, is found from where the directory ends
// and added to them, with or without zip64 records.
class ZipDirectory {
public:
    // Fills `length` bytes from `offset` of the archive; false when the
    // archive does not hold them.
    using Reader = std::function<bool(unsigned long long offset, void* into, size_t length)>;

    // Reads the directory of an archive of `archiveLength` bytes. False with
    // problem() saying what is wrong when it cannot be found or followed; an
    // archive of no entries (its end record alone) is read.
    bool read(unsigned long long archiveLength, const Reader& readAt);

    const std::string& problem() const { return problem_; }
    const std::vector<ZipEntry>& entries() const { return entries_; }

    // The first entry whose whole name equals the path, the letters A to Z
    // compared without regard to case and every other byte as it is; null
    // when there is none.
    const ZipEntry* find(const std::string& path) const;

private:
    bool fail(const std::string& why);
    // The entries from the directory of `size` bytes at `start` in the file;
    // `bias` is added to every local header's offset.
    bool readEntries(unsigned long long start, unsigned long long size, unsigned long long count,
                     unsigned long long bias, const Reader& readAt);

    std::vector<ZipEntry> entries_;
    std::string problem_;
};

#endif
