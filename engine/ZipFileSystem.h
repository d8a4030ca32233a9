#ifndef QUORIN_ZIPFILESYSTEM_H
#define QUORIN_ZIPFILESYSTEM_H

#include "FileSystem.h"
#include "ZipDirectory.h"

#include <string>
#include <vector>

// Reads the members of one zip archive, kept open for the object's life.
// Member names are matched without regard to the case of letters; '/' and
// '\' are different characters. The directory is read once, when the
// archive is opened (ZipDirectory: zip64 records, an archive comment, a
// self-extractor's stub); a member is read when it is stored or deflated
// (with or without a data descriptor), its local header names it as its
// directory entry does, and its bytes match its CRC-32.
class ZipFileSystem : public FileSystem {
public:
    // Where a member that is in the archive but cannot be read is told of,
    // one line naming the archive, the member and why.
    using Report = void (*)(const std::string& problem);

    // A missing or unreadable archive still makes an object, whose every
    // open answers null; nothing is printed, isMissing() and problem() say
    // what is wrong for the caller to tell.
    explicit ZipFileSystem(const std::string& archivePath);
    ~ZipFileSystem() override;
    // Null for a missing member (said nowhere: the caller decides what that
    // means), and, reported, for a member that is encrypted or compressed by
    // any other method than store or deflate, lacks a zip64 value its entry
    // marks, has no local header where its entry says or one that differs
    // from the entry (its name byte for byte), holds damaged deflate data,
    // does not match its CRC-32, or claims a size that cannot be true (larger
    // than maxMemberSize or than its compressed data allows, data past the
    // archive's end, or more than inflating yields). A buffer is never sized
    // from a claim alone: a stored member's is checked against the archive's
    // length first, a deflated member's grows as inflate fills it.
    DataFile* open(const std::string& path) override;

    // Reports go to stderr until this is set; null sends them back there.
    void setReport(Report report) { report_ = report; }

    bool isOpen() const { return stream_ != nullptr; }
    // No file at the archive's path.
    bool isMissing() const { return missing_; }
    // Why an archive that is there cannot be read ("it has no zip end
    // record ...", "its zip64 locator points to ..."); empty when it is open
    // or missing.
    const std::string& problem() const { return problem_; }
    const std::string& archivePath() const { return archivePath_; }

    static constexpr unsigned long maxMemberSize = 256UL * 1024 * 1024;

    // The name of a zip compression method ("bzip2" for 12), or "an unknown
    // method" for a number no common tool writes.
    static const char* methodName(unsigned long method);

private:
    ZipFileSystem(const ZipFileSystem&) = delete;
    ZipFileSystem& operator=(const ZipFileSystem&) = delete;

    void refuse(const std::string& path, const std::string& why) const;
    // Fills `length` bytes from `offset` of the archive; false when the
    // archive does not hold them.
    bool readAt(unsigned long long offset, void* into, size_t length) const;
    // Where the member's data starts, from its local header; false with the
    // reason when the header is not there or does not match the entry.
    bool findData(const ZipEntry& entry, unsigned long long& offset, std::string& why) const;
    // The member's `size` bytes, inflated or copied from its `packedSize`
    // bytes at `offset` in the archive, into `bytes`; false with the reason
    // when they are not all there or are not what the entry says.
    bool readMember(unsigned long long offset, unsigned long long packedSize, bool deflated,
                    unsigned long long size, std::vector<unsigned char>& bytes, std::string& why);

    std::string archivePath_;
    void* stream_ = nullptr;   // the archive file, through minizip's 64-bit file calls
    unsigned long long length_ = 0;
    ZipDirectory directory_;
    bool missing_ = false;
    std::string problem_;
    Report report_ = nullptr;
};

ZipFileSystem* createZipFileSystem(const std::string& archivePath);

#endif
