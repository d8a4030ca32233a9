// A member's directory entry says how large the member is, but only the
// archive's bytes are sure: reading a member never takes a block sized from
// a claim the archive cannot back. This program sees the size of every
// operator new (see RenderPathAllocations.cpp), hence these tests live here.
#include "AllocationCounter.h"
#include "DataFile.h"
#include "TestFiles.h"
#include "ZipFileSystem.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace {

// Makes the first member's local header and directory entry both claim
// these sizes.
void claimSizes(std::string& zip, uint32_t packed, uint32_t size)
{
    ASSERT_EQ(read32(zip, 0), 0x04034b50u);
    write32(zip, 18, packed);
    write32(zip, 22, size);
    size_t entry = zip.find(std::string("PK\1\2", 4));
    ASSERT_NE(entry, std::string::npos);
    write32(zip, entry + 20, packed);
    write32(zip, entry + 24, size);
}

// Bytes that deflate cannot shrink.
std::string noise(size_t length)
{
    std::string bytes(length, '\0');
    uint32_t state = 2463534242u;
    for (char& byte : bytes) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        byte = static_cast<char>(state >> 24);
    }
    return bytes;
}

std::vector<std::string> reports;

void keepReport(const std::string& problem)
{
    reports.push_back(problem);
}

}

TEST(ZipMemberAllocations, ASizeTheArchiveCannotHoldIsRefusedWithoutItsBlock)
{
    ASSERT_TRUE(allocationCounterCounts());
    const uint32_t claimed = 255u * 1024 * 1024;
    const std::string dir = makeTestDirectory("zip-claims");

    // One stored member of 10 bytes whose entry claims 255 MiB. An archive
    // comment of 4 KiB makes the archive longer than the line that reports
    // the member, so that the archive's length bounds every block.
    std::string stored = makeZip(dir + "/stored.zip", {{"level.txt", "0123456789", false}});
    claimSizes(stored, claimed, claimed);
    ASSERT_EQ(read32(stored, stored.size() - 22), 0x06054b50u);   // the directory's end, no comment yet
    stored[stored.size() - 2] = 0;
    stored[stored.size() - 1] = 4096 / 256;
    stored += std::string(4096, 'c');
    // 256 KiB of noise deflated: enough deflate data to make 255 MiB a size
    // deflate could reach, which inflating it then shows to be untrue.
    std::string deflated = makeZip(dir + "/deflated.zip", {{"level.txt", noise(256 * 1024), true}});
    claimSizes(deflated, read32(deflated, 18), claimed);

    const struct {
        const char* what;
        const std::string& archive;
        const char* reason;
        size_t largest;   // the largest block open may take
    } cases[] = {
        {"stored", stored, "is damaged (its data is cut short: 267386880 bytes claimed, ", stored.size()},
        // The buffer grows as inflate fills it: the 256 KiB it holds, not
        // the claim.
        {"deflated", deflated, "is damaged (it holds fewer bytes than its entry says)", 4 * 1024 * 1024},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = dir + "/" + c.what + ".zip";
        writeBytes(path, c.archive);
        ZipFileSystem zip(path);
        ASSERT_TRUE(zip.isOpen());
        zip.setReport(keepReport);
        reports.clear();
        resetLargestAllocation();
        std::unique_ptr<DataFile> file(zip.open("level.txt"));
        const size_t largest = largestAllocation();
        EXPECT_EQ(file, nullptr);
        EXPECT_LE(largest, c.largest);
        ASSERT_EQ(reports.size(), 1u);
        EXPECT_NE(reports[0].find("member \"level.txt\" " + std::string(c.reason)), std::string::npos)
            << reports[0];
    }
}

// A true size far past the first buffer: the buffer grows to the member's
// size and no further, and the bytes come back exactly.
TEST(ZipMemberAllocations, ADeflatedMemberGrowsItsBufferUpToItsSize)
{
    const std::string dir = makeTestDirectory("zip-growth");
    std::string text;
    for (int line = 0; text.size() < 3 * 1024 * 1024; ++line)
        text += "row " + std::to_string(line) + " ....#....#....\n";
    makeZip(dir + "/level.zip", {{"level.txt", text, true}});
    ZipFileSystem zip(dir + "/level.zip");
    resetLargestAllocation();
    std::unique_ptr<DataFile> file(zip.open("level.txt"));
    const size_t largest = largestAllocation();
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(file->data()), static_cast<size_t>(file->size())), text);
    EXPECT_GE(largest, text.size());
    EXPECT_LE(largest, text.size() + 1);
}
