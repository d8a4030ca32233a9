#include "ZipFileSystem.h"

#include "DataFile.h"

#include <ioapi.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// Deflate cannot expand data by much more than this; a stored size beyond
// it is a lie, and allocating it would only waste memory.
const unsigned long maxDeflateRatio = 1040;

const unsigned long storedMethod = 0;
const unsigned long deflateMethod = 8;
const unsigned long encryptedFlag = 0x0001;
// Set when the CRC-32 and sizes follow the data instead of being in the
// local header.
const unsigned long dataDescriptorFlag = 0x0008;

const uint32_t localHeaderSignature = 0x04034b50;
const size_t localHeaderLength = 30;
// A local header's size of all ones leaves it to the header's zip64 record.
const unsigned long marked32 = 0xFFFFFFFFu;

// Deflate data is read from the archive in pieces of this size.
const unsigned long packedPiece = 64 * 1024;
// The smallest buffer a deflated member is inflated into at first (or its
// whole size, when that is smaller).
const unsigned long long firstInflatedPiece = 64 * 1024;

// minizip's plain 64-bit file calls, which the archive is read with.
const zlib_filefunc64_def& plainFiles()
{
    static const zlib_filefunc64_def files = [] {
        zlib_filefunc64_def f;
        fill_fopen64_filefunc(&f);
        return f;
    }();
    return files;
}

unsigned littleEndian16(const unsigned char* at)
{
    return at[0] | static_cast<unsigned>(at[1]) << 8;
}

unsigned long littleEndian32(const unsigned char* at)
{
    return littleEndian16(at) | static_cast<unsigned long>(littleEndian16(at + 2)) << 16;
}

}

ZipFileSystem::ZipFileSystem(const std::string& archivePath) : archivePath_(archivePath)
{
    const zlib_filefunc64_def& files = plainFiles();
    errno = 0;
    stream_ = files.zopen64_file(files.opaque, archivePath.c_str(),
                                 ZLIB_FILEFUNC_MODE_READ | ZLIB_FILEFUNC_MODE_EXISTING);
    if (!stream_) {
        missing_ = errno == ENOENT;
        if (!missing_)
            problem_ = std::string("it cannot be opened for reading (") + std::strerror(errno) + ")";
        return;
    }
    if (files.zseek64_file(files.opaque, stream_, 0, ZLIB_FILEFUNC_SEEK_END) == 0) {
        const ZPOS64_T length = files.ztell64_file(files.opaque, stream_);
        if (length != static_cast<ZPOS64_T>(-1)) {
            length_ = length;
            directory_.read(length_, [this](unsigned long long offset, void* into, size_t length) {
                return readAt(offset, into, length);
            });
            problem_ = directory_.problem();
        } else {
            problem_ = "its length cannot be found";
        }
    } else {
        problem_ = "its length cannot be found";
    }
    if (!problem_.empty()) {
        files.zclose_file(files.opaque, stream_);
        stream_ = nullptr;
    }
}

ZipFileSystem::~ZipFileSystem()
{
    if (stream_)
        plainFiles().zclose_file(plainFiles().opaque, stream_);
}

bool ZipFileSystem::readAt(unsigned long long offset, void* into, size_t length) const
{
    const zlib_filefunc64_def& files = plainFiles();
    if (offset > length_ || length > length_ - offset)
        return false;
    if (files.zseek64_file(files.opaque, stream_, offset, ZLIB_FILEFUNC_SEEK_SET) != 0)
        return false;
    return length == 0 || files.zread_file(files.opaque, stream_, into, static_cast<uLong>(length)) == length;
}

const char* ZipFileSystem::methodName(unsigned long method)
{
    switch (method) {
    case 0: return "store";
    case 1: return "shrink";
    case 2: case 3: case 4: case 5: return "reduce";
    case 6: return "implode";
    case 8: return "deflate";
    case 9: return "Deflate64";
    case 10: return "PKWARE DCL implode";
    case 12: return "bzip2";
    case 14: return "LZMA";
    case 16: return "IBM z/OS CMPSC";
    case 18: return "IBM TERSE";
    case 19: return "IBM LZ77";
    case 20: case 93: return "Zstandard";
    case 94: return "MP3";
    case 95: return "xz";
    case 96: return "JPEG";
    case 97: return "WavPack";
    case 98: return "PPMd";
    case 99: return "AES encryption";
    default: return "an unknown method";
    }
}

void ZipFileSystem::refuse(const std::string& path, const std::string& why) const
{
    std::string problem = archivePath_ + ": member \"" + path + "\" " + why;
    if (report_)
        report_(problem);
    else
        std::fprintf(stderr, "%s\n", problem.c_str());
}

DataFile* ZipFileSystem::open(const std::string& path)
{
    if (!stream_)
        return nullptr;
    const ZipEntry* entry = directory_.find(path);
    if (!entry)
        return nullptr;
    if (!entry->problem.empty()) {
        refuse(path, entry->problem);
        return nullptr;
    }
    if (entry->flags & encryptedFlag) {
        refuse(path, "is encrypted; only unencrypted members can be read");
        return nullptr;
    }
    const unsigned long method = entry->method;
    if (method != storedMethod && method != deflateMethod) {
        refuse(path, "is compressed with " + std::string(methodName(method)) + " (method " +
                         std::to_string(method) + "); only stored and deflated members can be read");
        return nullptr;
    }

    const unsigned long long size = entry->size;
    const unsigned long long packed = entry->packedSize;
    if (size > maxMemberSize || (method == storedMethod && size != packed) ||
        (method == deflateMethod && size > packed * maxDeflateRatio + 64)) {
        refuse(path, "claims an impossible size of " + std::to_string(size) + " bytes");
        return nullptr;
    }

    unsigned long long offset = 0;
    std::string why;
    if (!findData(*entry, offset, why)) {
        refuse(path, why);
        return nullptr;
    }
    std::vector<unsigned char> bytes;
    if (!readMember(offset, packed, method == deflateMethod, size, bytes, why)) {
        refuse(path, "is damaged (" + why + ")");
        return nullptr;
    }
    uLong crc = crc32(0, bytes.data(), static_cast<uInt>(size));
    if (crc != entry->crc) {
        refuse(path, "is damaged (CRC mismatch)");
        return nullptr;
    }
    return new DataFile(path, bytes.data(), static_cast<int>(size));
}

bool ZipFileSystem::findData(const ZipEntry& entry, unsigned long long& offset, std::string& why) const
{
    unsigned char header[localHeaderLength];
    if (!readAt(entry.localHeader, header, sizeof header) || littleEndian32(header) != localHeaderSignature) {
        why = "has no local header where its directory entry says (at byte " +
              std::to_string(entry.localHeader) + ")";
        return false;
    }
    const size_t nameLength = littleEndian16(header + 26);
    const size_t extraLength = littleEndian16(header + 28);
    std::string name(nameLength, '\0');
    if (nameLength != entry.name.size() || !readAt(entry.localHeader + sizeof header, &name[0], nameLength) ||
        name != entry.name) {
        why = "has a local header whose name differs from its directory entry's";
        return false;
    }
    // The CRC-32 and sizes, unless they follow the data or are left to the
    // local header's zip64 record, are the entry's. A zip64 entry's sizes
    // may be in its directory record alone: the local header then holds the
    // same 32-bit values.
    const unsigned long localFlags = littleEndian16(header + 6);
    const unsigned long localPacked = littleEndian32(header + 18);
    const unsigned long localSize = littleEndian32(header + 22);
    const bool described = ((localFlags | entry.flags) & dataDescriptorFlag) != 0;
    if (littleEndian16(header + 8) != entry.method ||
        (!described && (littleEndian32(header + 14) != entry.crc ||
                        (localPacked != marked32 && localPacked != entry.packedSize) ||
                        (localSize != marked32 && localSize != entry.size)))) {
        why = "has a local header that does not match its directory entry";
        return false;
    }
    offset = entry.localHeader + sizeof header + nameLength + extraLength;
    return true;
}

bool ZipFileSystem::readMember(unsigned long long offset, unsigned long long packedSize,
                               bool deflated, unsigned long long size,
                               std::vector<unsigned char>& bytes, std::string& why)
{
    const zlib_filefunc64_def& files = plainFiles();
    // The member's data must lie inside the archive before any buffer is
    // sized from its entry: a stored member's buffer is then never larger
    // than the archive.
    if (files.zseek64_file(files.opaque, stream_, 0, ZLIB_FILEFUNC_SEEK_END) != 0) {
        why = "the archive's length cannot be found";
        return false;
    }
    const unsigned long long archiveLength = files.ztell64_file(files.opaque, stream_);
    if (offset > archiveLength || packedSize > archiveLength - offset) {
        why = "its data is cut short: " + std::to_string(packedSize) + " bytes claimed, " +
              std::to_string(offset > archiveLength ? 0 : archiveLength - offset) +
              " left in the archive";
        return false;
    }
    if (files.zseek64_file(files.opaque, stream_, offset, ZLIB_FILEFUNC_SEEK_SET) != 0) {
        why = "its data lies past the end of the archive";
        return false;
    }
    // One byte more than the member's size, so that deflate data that holds
    // more than that shows.
    const unsigned long long room = size + 1;
    if (!deflated || (size == 0 && packedSize == 0)) {
        bytes.resize(room);
        if (files.zread_file(files.opaque, stream_, bytes.data(), static_cast<uLong>(size)) != size) {
            why = "its data is cut short";
            return false;
        }
        return true;
    }

    // The entry's size is only a claim: the buffer starts at a few times the
    // deflate data and doubles as inflate fills it, up to that size.
    bytes.resize(static_cast<size_t>(std::min(room, std::max(packedSize * 4, firstInflatedPiece))));
    z_stream inflater = {};
    if (inflateInit2(&inflater, -MAX_WBITS) != Z_OK) {
        why = "deflate cannot start";
        return false;
    }
    std::vector<unsigned char> piece(packedPiece);
    unsigned long long unread = packedSize;
    inflater.next_out = bytes.data();
    inflater.avail_out = static_cast<uInt>(bytes.size());
    int status = Z_OK;
    while (status == Z_OK) {
        if (inflater.avail_in == 0) {
            if (unread == 0) {
                why = "its deflate data ends early";
                break;
            }
            uLong length = static_cast<uLong>(unread < packedPiece ? unread : packedPiece);
            if (files.zread_file(files.opaque, stream_, piece.data(), length) != length) {
                why = "its data is cut short";
                break;
            }
            unread -= length;
            inflater.next_in = piece.data();
            inflater.avail_in = static_cast<uInt>(length);
        }
        if (inflater.avail_out == 0 && bytes.size() < room) {
            const size_t filled = bytes.size();
            const size_t grown = static_cast<size_t>(std::min(room, 2ULL * filled));
            bytes.reserve(grown);   // exactly: resize alone may take more than room
            bytes.resize(grown);
            inflater.next_out = bytes.data() + filled;
            inflater.avail_out = static_cast<uInt>(bytes.size() - filled);
        }
        status = inflate(&inflater, Z_NO_FLUSH);
        if (status == Z_BUF_ERROR && inflater.avail_out == 0)
            why = "it holds more bytes than its entry says";
        else if (status != Z_OK && status != Z_STREAM_END)
            why = "its deflate data is garbled";
    }
    unsigned long long produced = inflater.total_out;
    inflateEnd(&inflater);
    if (status != Z_STREAM_END)
        return false;
    if (produced != size) {
        why = produced > size ? "it holds more bytes than its entry says"
                              : "it holds fewer bytes than its entry says";
        return false;
    }
    return true;
}

ZipFileSystem* createZipFileSystem(const std::string& archivePath)
{
    return new ZipFileSystem(archivePath);
}
