#include "ZipFileSystem.h"

#include "DataFile.h"

#include <unzip.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// minizip's value for comparing names without regard to case.
const int caseInsensitive = 2;

// Deflate cannot expand data by much more than this; a stored size beyond
// it is a lie, and allocating it would only waste memory.
const unsigned long maxDeflateRatio = 1040;

const unsigned long storedMethod = 0;
const unsigned long deflateMethod = 8;
const unsigned long encryptedFlag = 0x0001;

// A 32-bit size of all ones in a directory entry says that the real size is
// in the entry's zip64 extra field (id 1).
const unsigned long long inZip64Record = 0xFFFFFFFFu;
const unsigned zip64RecordId = 0x0001;

// Deflate data is read from the archive in pieces of this size.
const unsigned long packedPiece = 64 * 1024;
// The smallest buffer a deflated member is inflated into at first (or its
// whole size, when that is smaller).
const unsigned long long firstInflatedPiece = 64 * 1024;

// minizip's plain 64-bit file calls, which the members' data is read with.
const zlib_filefunc64_def& plainFiles()
{
    static const zlib_filefunc64_def files = [] {
        zlib_filefunc64_def f;
        fill_fopen64_filefunc(&f);
        return f;
    }();
    return files;
}

// Opens the archive as minizip's plain calls do and keeps the stream in the
// pointer that `opaque` points at, so that the members' data can be read
// through it.
voidpf ZCALLBACK openKeepingStream(voidpf opaque, const void* path, int mode)
{
    voidpf stream = plainFiles().zopen64_file(plainFiles().opaque, path, mode);
    *static_cast<void**>(opaque) = stream;
    return stream;
}

unsigned littleEndian16(const unsigned char* at)
{
    return at[0] | static_cast<unsigned>(at[1]) << 8;
}

unsigned long long littleEndian64(const unsigned char* at)
{
    unsigned long long value = 0;
    for (int i = 7; i >= 0; --i)
        value = value << 8 | at[i];
    return value;
}

// Takes the sizes marked as held in a zip64 record from the entry's extra
// field: the uncompressed size first, then the compressed one, each present
// only when marked. (On systems with a 64-bit long, minizip 1.1 leaves them
// marked.) False when a marked size is not there.
bool takeZip64Sizes(const std::vector<unsigned char>& extra, unz_file_info64& info)
{
    size_t at = 0;
    while (at + 4 <= extra.size()) {
        unsigned id = littleEndian16(&extra[at]);
        size_t length = littleEndian16(&extra[at + 2]);
        at += 4;
        if (length > extra.size() - at)
            return false;
        if (id == zip64RecordId) {
            size_t field = at;
            for (ZPOS64_T* size : {&info.uncompressed_size, &info.compressed_size}) {
                if (*size != inZip64Record)
                    continue;
                if (field + 8 > at + length)
                    return false;
                *size = littleEndian64(&extra[field]);
                field += 8;
            }
            return info.uncompressed_size != inZip64Record && info.compressed_size != inZip64Record;
        }
        at += length;
    }
    return false;
}

}

ZipFileSystem::ZipFileSystem(const std::string& archivePath)
    : archivePath_(archivePath), handle_(nullptr), stream_(nullptr)
{
    zlib_filefunc64_def files = plainFiles();
    files.zopen64_file = openKeepingStream;
    files.opaque = &stream_;
    handle_ = unzOpen2_64(archivePath.c_str(), &files);
    if (!handle_) {
        stream_ = nullptr;
        std::fprintf(stderr, "%s: cannot be opened as a zip archive\n", archivePath.c_str());
    }
}

ZipFileSystem::~ZipFileSystem()
{
    if (handle_)
        unzClose(static_cast<unzFile>(handle_));
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
    if (!handle_)
        return nullptr;
    unzFile zip = static_cast<unzFile>(handle_);
    if (unzLocateFile(zip, path.c_str(), caseInsensitive) != UNZ_OK)
        return nullptr;

    unz_file_info64 info;
    if (unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) {
        refuse(path, "has an unreadable directory entry");
        return nullptr;
    }
    if (info.uncompressed_size == inZip64Record || info.compressed_size == inZip64Record) {
        std::vector<unsigned char> extra(info.size_file_extra);
        if (unzGetCurrentFileInfo64(zip, &info, nullptr, 0, extra.data(),
                                    static_cast<uLong>(extra.size()), nullptr, 0) != UNZ_OK ||
            !takeZip64Sizes(extra, info)) {
            refuse(path, "lacks the zip64 record its directory entry points to");
            return nullptr;
        }
    }
    if (info.flag & encryptedFlag) {
        refuse(path, "is encrypted; only unencrypted members can be read");
        return nullptr;
    }
    unsigned long method = info.compression_method;
    if (method != storedMethod && method != deflateMethod) {
        refuse(path, "is compressed with " + std::string(methodName(method)) + " (method " +
                         std::to_string(method) + "); only stored and deflated members can be read");
        return nullptr;
    }

    unsigned long long size = info.uncompressed_size;
    unsigned long long packed = info.compressed_size;
    if (size > maxMemberSize || (method == storedMethod && size != packed) ||
        (method == deflateMethod && size > packed * maxDeflateRatio + 64)) {
        refuse(path, "claims an impossible size of " + std::to_string(size) + " bytes");
        return nullptr;
    }

    // minizip checks the member's local header against its directory entry
    // and finds where its data starts; the data is then read here, as minizip
    // 1.1 reads a zip64 member with the wrong sizes on some systems and takes
    // a member of any method it does not know as stored.
    if (unzOpenCurrentFile2(zip, nullptr, nullptr, 1) != UNZ_OK) {
        refuse(path, "has a local header that does not match its directory entry");
        return nullptr;
    }
    unsigned long long offset = unzGetCurrentFileZStreamPos64(zip);
    unzCloseCurrentFile(zip);

    std::vector<unsigned char> bytes;
    std::string why;
    if (!readMember(offset, packed, method == deflateMethod, size, bytes, why)) {
        refuse(path, "is damaged (" + why + ")");
        return nullptr;
    }
    uLong crc = crc32(0, bytes.data(), static_cast<uInt>(size));
    if (crc != info.crc) {
        refuse(path, "is damaged (CRC mismatch)");
        return nullptr;
    }
    return new DataFile(path, bytes.data(), static_cast<int>(size));
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
