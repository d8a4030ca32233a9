#include "ZipDirectory.h"

#include <cstdint>

namespace {

const uint32_t endSignature = 0x06054b50;
const uint32_t zip64EndSignature = 0x06064b50;
const uint32_t zip64LocatorSignature = 0x07064b50;
const uint32_t entrySignature = 0x02014b50;

const size_t endLength = 22;
const size_t zip64EndLength = 56;
const size_t locatorLength = 20;
const size_t entryLength = 46;
const size_t longestComment = 0xFFFF;

// A 16- or 32-bit value of all ones says that the real value is held in a
// zip64 record.
const unsigned long long marked16 = 0xFFFF;
const unsigned long long marked32 = 0xFFFFFFFF;
const unsigned zip64RecordId = 0x0001;

unsigned littleEndian16(const unsigned char* at)
{
    return at[0] | static_cast<unsigned>(at[1]) << 8;
}

unsigned long littleEndian32(const unsigned char* at)
{
    return littleEndian16(at) | static_cast<unsigned long>(littleEndian16(at + 2)) << 16;
}

unsigned long long littleEndian64(const unsigned char* at)
{
    return littleEndian32(at) | static_cast<unsigned long long>(littleEndian32(at + 4)) << 32;
}

std::string number(unsigned long long value)
{
    return std::to_string(value);
}

char upperCase(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Takes the values an entry marks as held in its zip64 record from the
// record in its extra field, in the record's order: the size, the packed
// size, the local header's offset, each there only when marked. False when
// a marked value is not there.
bool takeZip64Values(const unsigned char* extra, size_t length, unsigned long long* values[3])
{
    size_t at = 0;
    while (length - at >= 4) {
        const unsigned id = littleEndian16(extra + at);
        const size_t fieldLength = littleEndian16(extra + at + 2);
        at += 4;
        if (fieldLength > length - at)
            return false;
        if (id == zip64RecordId) {
            size_t field = at;
            for (int i = 0; i < 3; ++i) {
                if (*values[i] != marked32)
                    continue;
                if (at + fieldLength - field < 8)
                    return false;
                *values[i] = littleEndian64(extra + field);
                field += 8;
            }
            return true;
        }
        at += fieldLength;
    }
    return false;
}

} // namespace

bool ZipDirectory::fail(const std::string& why)
{
    entries_.clear();
    problem_ = why;
    return false;
}

bool ZipDirectory::read(unsigned long long archiveLength, const Reader& readAt)
{
    entries_.clear();
    problem_.clear();
    if (archiveLength == 0)
        return fail("the file is empty");
    if (archiveLength < endLength)
        return fail("it is only " + number(archiveLength) +
                    " bytes long, and a zip archive's end record alone takes 22");

    // The end record is the last one in the archive's last 22 bytes and the
    // comment of up to 65,535 bytes before them (as every unzip finds it).
    const size_t tailLength = static_cast<size_t>(
        archiveLength < endLength + longestComment ? archiveLength : endLength + longestComment);
    const unsigned long long tailStart = archiveLength - tailLength;
    std::vector<unsigned char> tail(tailLength);
    if (!readAt(tailStart, tail.data(), tailLength))
        return fail("its last bytes cannot be read");
    size_t found = tailLength;
    for (size_t at = tailLength - endLength + 1; at-- > 0 && found == tailLength;) {
        if (littleEndian32(&tail[at]) == endSignature)
            found = at;
    }
    if (found == tailLength)
        return fail("it has no zip end record (it is no zip archive, or one cut short)");

    const unsigned char* end = &tail[found];
    const unsigned long long endAt = tailStart + found;
    unsigned long long disk = littleEndian16(end + 4);
    unsigned long long directoryDisk = littleEndian16(end + 6);
    unsigned long long entriesHere = littleEndian16(end + 8);
    unsigned long long count = littleEndian16(end + 10);
    unsigned long long directorySize = littleEndian32(end + 12);
    unsigned long long directoryOffset = littleEndian32(end + 16);
    const bool marked = disk == marked16 || directoryDisk == marked16 || entriesHere == marked16 ||
                        count == marked16 || directorySize == marked32 || directoryOffset == marked32;

    // The directory ends where the end records begin: the zip64 end record,
    // when a locator right before the end record points to one.
    unsigned long long recordsAt = endAt;
    unsigned char locator[locatorLength];
    unsigned char record[zip64EndLength];
    const bool located = endAt >= locatorLength && readAt(endAt - locatorLength, locator, locatorLength) &&
                         littleEndian32(locator) == zip64LocatorSignature;
    if (located) {
        const unsigned long long locatorAt = endAt - locatorLength;
        const unsigned long long stated = littleEndian64(locator + 8);
        if (littleEndian32(locator + 4) != 0 || littleEndian32(locator + 16) > 1)
            return fail("it is one part of an archive split over several disks");
        // Where the locator says or, in a self-extractor whose offsets were
        // not adjusted for its stub, right before the locator.
        auto zip64RecordAt = [&](unsigned long long at) {
            return at <= locatorAt && locatorAt - at >= zip64EndLength &&
                   readAt(at, record, zip64EndLength) && littleEndian32(record) == zip64EndSignature;
        };
        if (zip64RecordAt(stated))
            recordsAt = stated;
        else if (locatorAt >= zip64EndLength && zip64RecordAt(locatorAt - zip64EndLength))
            recordsAt = locatorAt - zip64EndLength;
        else
            return fail("its zip64 locator points to byte " + number(stated) +
                        ", where no zip64 end record is");
        disk = littleEndian32(record + 16);
        directoryDisk = littleEndian32(record + 20);
        entriesHere = littleEndian64(record + 24);
        count = littleEndian64(record + 32);
        directorySize = littleEndian64(record + 40);
        directoryOffset = littleEndian64(record + 48);
    }

    bool followed = false;
    if (disk != 0 || directoryDisk != 0 || entriesHere != count) {
        fail("it is one part of an archive split over several disks");
    } else if (directoryOffset > recordsAt || directorySize > recordsAt - directoryOffset) {
        fail("its end record places the directory (" + number(directorySize) + " bytes at byte " +
             number(directoryOffset) + ") past the end record itself (at byte " + number(recordsAt) + ")");
    } else if (count > directorySize / entryLength) {
        fail("its end record counts " + number(count) + " entries, more than its directory of " +
             number(directorySize) + " bytes can hold");
    } else {
        // Bytes before the zip data (a self-extractor's stub) shift every
        // offset by as much as the directory ends before the end records.
        const unsigned long long bias = recordsAt - (directoryOffset + directorySize);
        followed = readEntries(directoryOffset + bias, directorySize, count, bias, readAt);
    }
    if (!followed && !located) {
        if (marked)
            return fail("its end record leaves its values to a zip64 end record, but the zip64 locator "
                        "that finds that record is missing");
        if (endAt >= zip64EndLength && readAt(endAt - zip64EndLength, record, zip64EndLength) &&
            littleEndian32(record) == zip64EndSignature)
            return fail("it has a zip64 end record without the zip64 locator that must follow it");
    }
    return followed;
}

bool ZipDirectory::readEntries(unsigned long long start, unsigned long long size, unsigned long long count,
                               unsigned long long bias, const Reader& readAt)
{
    std::vector<unsigned char> directory(static_cast<size_t>(size));
    if (size > 0 && !readAt(start, directory.data(), directory.size()))
        return fail("its directory cannot be read");
    size_t at = 0;
    for (unsigned long long i = 0; i < count; ++i) {
        const std::string which = "its directory entry " + number(i + 1) + " of " + number(count);
        const unsigned char* bytes = directory.data() + at;
        if (directory.size() - at < entryLength || littleEndian32(bytes) != entrySignature)
            return fail(which + " (at byte " + number(start + at) + ") is not there or damaged");
        const size_t nameLength = littleEndian16(bytes + 28);
        const size_t extraLength = littleEndian16(bytes + 30);
        const size_t commentLength = littleEndian16(bytes + 32);
        if (directory.size() - at - entryLength < nameLength + extraLength + commentLength)
            return fail(which + " runs past the end of the directory");

        ZipEntry entry;
        entry.flags = littleEndian16(bytes + 8);
        entry.method = littleEndian16(bytes + 10);
        entry.crc = littleEndian32(bytes + 16);
        entry.packedSize = littleEndian32(bytes + 20);
        entry.size = littleEndian32(bytes + 24);
        unsigned long long offset = littleEndian32(bytes + 42);
        entry.name.assign(reinterpret_cast<const char*>(bytes + entryLength), nameLength);
        unsigned long long* marks[3] = {&entry.size, &entry.packedSize, &offset};
        if ((entry.size == marked32 || entry.packedSize == marked32 || offset == marked32) &&
            !takeZip64Values(bytes + entryLength + nameLength, extraLength, marks))
            entry.problem = "lacks the zip64 record its directory entry points to";
        if (offset > ~0ULL - bias)
            entry.problem = "has a local header offset past any archive";
        entry.localHeader = offset + bias;
        entries_.push_back(std::move(entry));
        at += entryLength + nameLength + extraLength + commentLength;
    }
    return true;
}

const ZipEntry* ZipDirectory::find(const std::string& path) const
{
    for (const ZipEntry& entry : entries_) {
        if (entry.name.size() != path.size())
            continue;
        size_t i = 0;
        while (i < path.size() && upperCase(entry.name[i]) == upperCase(path[i]))
            ++i;
        if (i == path.size())
            return &entry;
    }
    return nullptr;
}
