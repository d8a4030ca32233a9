#include "DataFile.h"
#include "DiskFileSystem.h"
#include "FileSystem.h"
#include "FileWriter.h"
#include "HostFiles.h"
#include "MemoryFileSystem.h"
#include "TestFiles.h"
#include "ZipFileSystem.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

std::string contentOf(const DataFile& file)
{
    return std::string(reinterpret_cast<const char*>(file.data()), static_cast<size_t>(file.size()));
}

// Rewrites the sizes of every member in both the local and the central
// headers (an archive that lies coherently about its members).
void setStoredSizes(std::string& zip, uint32_t compressed, uint32_t uncompressed)
{
    for (size_t at = 0; at + 46 <= zip.size(); ++at) {
        uint32_t signature = read32(zip, at);
        if (signature == 0x04034b50) {
            write32(zip, at + 18, compressed);
            write32(zip, at + 22, uncompressed);
        } else if (signature == 0x02014b50) {
            write32(zip, at + 20, compressed);
            write32(zip, at + 24, uncompressed);
        }
    }
}

class InstalledFileSystem {
public:
    explicit InstalledFileSystem(FileSystem* fileSystem) { FileSystem::setInstance(fileSystem); }
    ~InstalledFileSystem() { FileSystem::setInstance(nullptr); }
};

const std::string contentXml = "<content><ship>blue</ship></content>";

// What an archive reports through ZipFileSystem::setReport.
std::vector<std::string> reports;

void keepReport(const std::string& problem)
{
    reports.push_back(problem);
}

std::string archiveFixture(const std::string& name)
{
    return std::string(QUORIN_ARCHIVE_FIXTURES) + "/" + name;
}

}

TEST(DataFile, ExtensionIsTheUpperCasedTextAfterTheFirstDot)
{
    const std::pair<const char*, const char*> cases[] = {
        {"ship.cmsh", "CMSH"},          {"Font.Ttf", "TTF"},   {"a.b.msh", "B.MSH"},
        {"data.1/ship.msh", "1/SHIP.MSH"}, {"music", ""},      {"ends.", ""},
        {"pizza.zip", "ZIP"},           {"caf\xe9.\xe9x", "\xe9X"},
    };
    for (auto [path, extension] : cases)
        EXPECT_EQ(DataFile::computeExtension(path), extension) << path;
}

TEST(DataFile, OwnsAnExactCopyOfTheBytes)
{
    char bytes[] = {'a', '\0', 'b'};
    DataFile file("Mixed.Case", bytes, 3);
    bytes[0] = 'z';
    EXPECT_EQ(file.path(), "Mixed.Case");
    EXPECT_EQ(file.extension(), "CASE");
    EXPECT_EQ(file.size(), 3);
    EXPECT_EQ(contentOf(file), std::string("a\0b", 3));

    DataFile none("x", nullptr, 10);
    EXPECT_EQ(none.size(), 0);
    DataFile negative("x", bytes, -1);
    EXPECT_EQ(negative.size(), 0);
}

TEST(DiskFileSystem, ReadsWholeFilesAndRefusesWhatIsNoFile)
{
    std::string dir = makeTestDirectory("disk");
    writeBytes(dir + "/level.txt", std::string("ab\0cd", 5));
    writeBytes(dir + "/empty.bin", "");
    DiskFileSystem disk;

    std::unique_ptr<DataFile> file(disk.open(dir + "/level.txt"));
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(contentOf(*file), std::string("ab\0cd", 5));
    EXPECT_EQ(file->extension(), "TXT");

    std::unique_ptr<DataFile> empty(disk.open(dir + "/empty.bin"));
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->size(), 0);

    EXPECT_EQ(disk.open(dir + "/missing.txt"), nullptr);
    EXPECT_EQ(disk.open(dir), nullptr);   // a directory
}

TEST(DiskFileSystem, IsCurrentUntilAnotherIsInstalledAndAfterItIsGone)
{
    std::string dir = makeTestDirectory("current");
    writeBytes(dir + "/plain.txt", "disk");
    EXPECT_EQ(FileSystem::instance(), &diskFileSystem());
    std::unique_ptr<DataFile> fromDisk(openFile(dir + "/plain.txt"));
    ASSERT_NE(fromDisk, nullptr);
    EXPECT_EQ(contentOf(*fromDisk), "disk");

    {
        MemoryFileSystem memory;
        memory.add("plain.txt", "memory");
        FileSystem::setInstance(&memory);
        std::unique_ptr<DataFile> fromMemory(openFile("plain.txt"));
        ASSERT_NE(fromMemory, nullptr);
        EXPECT_EQ(contentOf(*fromMemory), "memory");
        EXPECT_EQ(memory.opens("plain.txt"), 1);
    }
    // The installed file system was deleted while current: the disk is back.
    EXPECT_EQ(FileSystem::instance(), &diskFileSystem());
}

TEST(DiskFileWriter, WritesTheBytesBackToThePath)
{
    std::string dir = makeTestDirectory("writer");
    DataFile file(dir + "/out.bin", "xyz", 3);
    DiskFileWriter writer;
    writer.write(file);
    EXPECT_EQ(readBytes(dir + "/out.bin"), "xyz");
    writer.write(DataFile(dir + "/no/such/dir/out.bin", "xyz", 3));   // reported, no crash
}

class ZipFileSystemTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = makeTestDirectory(::testing::UnitTest::GetInstance()->current_test_info()->name());
        archive = dir + "/quorin.zip";
    }

    std::string dir;
    std::string archive;
};

TEST_F(ZipFileSystemTest, FindsMembersWithoutRegardToCase)
{
    std::string big(100000, 'q');
    makeZip(archive, {{"content.xml", contentXml, true},
                      {"ships/Blue.cmsh", "mesh", false},
                      {"empty.txt", "", true},
                      {"big.bin", big, true}});
    std::unique_ptr<ZipFileSystem> zip(createZipFileSystem(archive));
    ASSERT_TRUE(zip->isOpen());
    InstalledFileSystem installed(zip.get());

    std::unique_ptr<DataFile> content(openFile("CONTENT.XML"));
    ASSERT_NE(content, nullptr);
    EXPECT_EQ(content->path(), "CONTENT.XML");
    EXPECT_EQ(contentOf(*content), contentXml);

    std::unique_ptr<DataFile> mesh(openFile("SHIPS/blue.CMSH"));
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(contentOf(*mesh), "mesh");
    EXPECT_EQ(openFile("ships\\Blue.cmsh"), nullptr);
    EXPECT_EQ(openFile("Blue.cmsh"), nullptr);

    std::unique_ptr<DataFile> empty(openFile("empty.txt"));
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->size(), 0);

    std::unique_ptr<DataFile> large(openFile("big.bin"));
    ASSERT_NE(large, nullptr);
    EXPECT_EQ(contentOf(*large), big);

    // A failed lookup leaves the archive usable.
    EXPECT_EQ(openFile("missing.png"), nullptr);
    std::unique_ptr<DataFile> again(openFile("content.xml"));
    EXPECT_NE(again, nullptr);
}

TEST_F(ZipFileSystemTest, AnArchiveThatCannotBeReadAnswersNull)
{
    std::string full = makeZip(archive, {{"content.xml", contentXml, true}});
    writeBytes(dir + "/notzip.zip", "PK but not really an archive");
    // No file at all, and files that are there but no archive: the first
    // is missing, the others say why they cannot be read.
    const struct {
        std::string path;
        const char* problem;   // null: missing
    } unreadable[] = {
        {dir + "/missing.zip", nullptr},
        {dir + "/notzip.zip", "it has no zip end record"},
        {dir, ""},   // a directory: whatever the system says of reading it
        {dir + "/empty.zip", "the file is empty"},
    };
    writeBytes(dir + "/empty.zip", "");
    for (const auto& c : unreadable) {
        SCOPED_TRACE(c.path);
        ZipFileSystem zip(c.path);
        EXPECT_FALSE(zip.isOpen());
        EXPECT_EQ(zip.isMissing(), c.problem == nullptr);
        if (c.problem) {
            EXPECT_FALSE(zip.problem().empty());
            EXPECT_NE(zip.problem().find(c.problem), std::string::npos) << zip.problem();
        } else {
            EXPECT_EQ(zip.problem(), "");
        }
        EXPECT_EQ(zip.open("content.xml"), nullptr);
    }

    // Cut anywhere, the archive yields nothing rather than wrong bytes (a
    // cut into the last fields of the directory's end record may still read).
    std::string cut = dir + "/truncated.zip";
    int readable = 0;
    for (size_t length = 0; length < full.size(); ++length) {
        writeBytes(cut, full.substr(0, length));
        ZipFileSystem zip(cut);
        std::unique_ptr<DataFile> file(zip.open("content.xml"));
        if (file) {
            ++readable;
            EXPECT_EQ(contentOf(*file), contentXml) << "archive cut to " << length << " bytes";
            EXPECT_GT(length, full.size() - 22) << "member read without its directory";
        }
    }
    EXPECT_LT(readable, 22);
}

TEST_F(ZipFileSystemTest, DamagedMembersAreRefused)
{
    const std::string text = "ROW0 ....#....\nROW1 ..#...#..\n";
    std::string stored = makeZip(archive, {{"level.txt", text, false}});
    size_t at = stored.find(text);
    ASSERT_NE(at, std::string::npos);

    struct Case {
        const char* what;
        std::string bytes;
    };
    std::string flipped = stored;
    flipped[at + 3] ^= 0x01;   // content no longer matches its CRC-32
    std::string shorter = stored;
    setStoredSizes(shorter, static_cast<uint32_t>(text.size() - 1), static_cast<uint32_t>(text.size() - 1));
    std::string longer = stored;
    setStoredSizes(longer, static_cast<uint32_t>(text.size() + 100), static_cast<uint32_t>(text.size() + 100));

    std::string packedText(5000, 'a');
    std::string deflated = makeZip(archive, {{"level.txt", packedText, true}});
    std::string huge = deflated;   // claims 4 GiB behind a few bytes of deflate data
    setStoredSizes(huge, read32(deflated, 18), 0xFFFFFFF0u);
    std::string inflatedLonger = deflated;
    setStoredSizes(inflatedLonger, read32(deflated, 18), 6000);
    std::string garbled = deflated;
    // The member's data follows its 30-byte local header and 9-byte name; a
    // first byte of 0xFF starts a deflate block of the reserved type.
    ASSERT_EQ(read32(deflated, 26), 9u);   // name length 9, no extra field
    garbled[30 + 9] = static_cast<char>(0xFF);

    const Case cases[] = {
        {"CRC mismatch", flipped},
        {"stored size smaller than the content", shorter},
        {"stored size larger than the content", longer},
        {"impossible inflated size", huge},
        {"inflated size larger than the content", inflatedLonger},
        {"garbled deflate stream", garbled},
    };
    for (const Case& c : cases) {
        std::string path = dir + "/damaged.zip";
        writeBytes(path, c.bytes);
        ZipFileSystem zip(path);
        std::unique_ptr<DataFile> file(zip.open("level.txt"));
        EXPECT_EQ(file, nullptr) << c.what;
    }
}

// Archives packed by everyday tools from the same members
// (fixtures/archives/make_archives.sh): each member comes back with exactly
// its bytes, asked for in other letter cases, or is refused with a report
// naming it and why; never other bytes.
TEST(ZipFileSystemArchivers, EveryMemberReadsExactlyOrIsRefusedByName)
{
    struct Case {
        const char* archive;
        const char* refusal;   // null: every member reads
    };
    const Case cases[] = {
        {"infozip-stored.zip", nullptr},        {"infozip-best.zip", nullptr},
        {"infozip-descriptors.zip", nullptr},   {"infozip-zip64.zip", nullptr},
        {"python-stored.zip", nullptr},         {"python-deflated.zip", nullptr},
        {"python-descriptors.zip", nullptr},    {"python-zip64.zip", nullptr},
        {"7zip-stored.zip", nullptr},           {"7zip-deflate.zip", nullptr},
        {"python-bzip2.zip", "is compressed with bzip2 (method 12)"},
        {"python-lzma.zip", "is compressed with LZMA (method 14)"},
        {"7zip-deflate64.zip", "is compressed with Deflate64 (method 9)"},
        {"7zip-bzip2.zip", "is compressed with bzip2 (method 12)"},
        {"7zip-lzma.zip", "is compressed with LZMA (method 14)"},
        {"7zip-ppmd.zip", "is compressed with PPMd (method 98)"},
        {"infozip-encrypted.zip", "is encrypted"},
        {"7zip-aes.zip", "is encrypted"},
    };
    // Stored name, the name asked for, and whether a tool may store it even
    // when told to compress (an empty file holds nothing to compress).
    const struct {
        const char* name;
        const char* asked;
        bool empty;
    } members[] = {
        {"content.xml", "CONTENT.XML", false},
        {"Pictures/Hud.PNG", "pictures/hud.png", false},
        {"tracks/Level1.txt", "TRACKS/level1.TXT", false},
        {"empty.txt", "Empty.txt", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.archive);
        ZipFileSystem zip(archiveFixture(c.archive));
        ASSERT_TRUE(zip.isOpen());
        zip.setReport(keepReport);
        reports.clear();
        for (const auto& member : members) {
            std::string bytes = readHostFile(archiveFixture("members/") + member.name);
            std::unique_ptr<DataFile> file(zip.open(member.asked));
            if (file) {
                EXPECT_EQ(file->path(), member.asked);
                EXPECT_EQ(contentOf(*file), bytes) << member.name;
                EXPECT_TRUE(!c.refusal || member.empty) << member.name << " read, not refused";
                continue;
            }
            ASSERT_NE(c.refusal, nullptr) << member.name << " refused";
            ASSERT_FALSE(reports.empty()) << member.name << " refused without a report";
            EXPECT_NE(reports.back().find("member \"" + std::string(member.asked) + "\" " + c.refusal),
                      std::string::npos)
                << reports.back();
        }
        if (!c.refusal) {
            EXPECT_TRUE(reports.empty()) << reports.front();
        }

        // Directory entries are empty members; a member that is not there is
        // no problem to report.
        reports.clear();
        std::unique_ptr<DataFile> directory(zip.open("pictures/"));
        ASSERT_NE(directory, nullptr);
        EXPECT_EQ(directory->size(), 0);
        EXPECT_EQ(zip.open("tracks/Level2.txt"), nullptr);
        EXPECT_TRUE(reports.empty());
    }
}

// zip -fz marks every uncompressed size as held in the entry's zip64 record:
// without that record the size is unknown, and the member is refused.
TEST(ZipFileSystemArchivers, AZip64SizeWithoutItsRecordIsRefused)
{
    std::string bytes = readHostFile(archiveFixture("infozip-zip64.zip"));
    size_t entry = bytes.find(std::string("PK\1\2", 4));   // the first entry: content.xml
    ASSERT_NE(entry, std::string::npos);
    ASSERT_EQ(bytes.substr(entry + 46, 11), "content.xml");
    ASSERT_EQ(read32(bytes, entry + 24), 0xFFFFFFFFu);
    size_t extra = entry + 46 + 11;   // after the name "content.xml"
    ASSERT_EQ(bytes.substr(extra, 4), std::string("\1\0\10\0", 4));
    bytes[extra] = 0x55;   // the record is now of another kind

    std::string dir = makeTestDirectory("zip64-record");
    writeBytes(dir + "/quorin.zip", bytes);
    ZipFileSystem zip(dir + "/quorin.zip");
    zip.setReport(keepReport);
    reports.clear();
    EXPECT_EQ(zip.open("content.xml"), nullptr);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find("\"content.xml\" lacks the zip64 record"), std::string::npos) << reports[0];
    std::unique_ptr<DataFile> other(zip.open("tracks/Level1.txt"));
    EXPECT_NE(other, nullptr);
}

// Archives written byte by byte (fixtures/archives/make_archives.sh) in
// shapes the zip format allows and python3's zipfile and unzip read: every
// member comes back with exactly its bytes, asked for in capitals, and
// nothing is reported; a member that is not there is just missing.
TEST(ZipFileSystemShapes, ValidArchivesReadEveryMemberExactly)
{
    const std::string text = "<content><ship>blue</ship></content>\n";
    std::string level;
    for (int i = 0; i < 4; ++i)
        level += "ROW0 ....#....\nROW1 ..#...#..\n";
    using Members = std::vector<std::pair<std::string, std::string>>;
    const Members pair = {{"content.xml", text}, {"tracks/level1.txt", level}};
    const struct {
        const char* archive;
        Members members;
    } cases[] = {
        // zip64 values held in the directory's zip64 record alone (sizes of
        // one member, the local header's offset of the other), the local
        // header with the real 32-bit sizes or with its own zip64 record.
        {"made-zip64-sizes-in-directory.zip", pair},
        {"made-zip64-local-record.zip", pair},
        {"made-longest-comment.zip", pair},   // 65,535 bytes
        {"made-longest-names.zip",
         {{std::string(256, 'a'), "256"}, {std::string(65535, 'b'), "65535"}, {"content.xml", text}}},
        // zip64 end records behind a self-extractor's stub, the offsets not
        // adjusted for it, and adjusted.
        {"made-zip64-behind-stub.zip", pair},
        {"made-zip64-behind-stub-adjusted.zip", pair},
        {"made-empty.zip", {}},   // the end record alone
        // A zip64 end record longer than its fixed fields: where it starts,
        // only its locator says (unzip reads it, python3's zipfile does not).
        {"made-zip64-extensible-data.zip", pair},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.archive);
        ZipFileSystem zip(archiveFixture(c.archive));
        ASSERT_TRUE(zip.isOpen()) << zip.problem();
        zip.setReport(keepReport);
        reports.clear();
        for (const auto& [name, bytes] : c.members) {
            std::string asked = name;
            for (char& letter : asked)
                letter = letter >= 'a' && letter <= 'z' ? static_cast<char>(letter - 32) : letter;
            std::unique_ptr<DataFile> file(zip.open(asked));
            ASSERT_NE(file, nullptr) << name.substr(0, 40);
            EXPECT_EQ(contentOf(*file), bytes) << name.substr(0, 40);
        }
        EXPECT_EQ(zip.open("tracks/level2.txt"), nullptr);
        EXPECT_TRUE(reports.empty()) << reports.front();
    }
}

// Archives python3's zipfile or unzip refuses, for what is broken in them:
// the whole archive when its end records or directory cannot be followed,
// or the member whose local header names another file (of the same length)
// than its directory entry.
TEST(ZipFileSystemShapes, BrokenArchivesAreRefusedForWhatIsBroken)
{
    const struct {
        const char* archive;
        const char* problem;
    } archives[] = {
        {"made-zip64-without-locator.zip",
         "its end record leaves its values to a zip64 end record, but the zip64 locator that finds that "
         "record is missing"},
        {"made-zip64-without-locator-unmarked.zip",
         "it has a zip64 end record without the zip64 locator that must follow it"},
        {"made-zip64-locator-astray.zip", "its zip64 locator points to byte 357, where no zip64 end record is"},
        {"made-directory-past-end.zip",
         "its end record places the directory (120 bytes at byte 1048576) past the end record itself"},
        {"made-directory-counting-more.zip",
         "its end record counts 3 entries, more than its directory of 120 bytes can hold"},
        {"made-directory-entry-damaged.zip", "its directory entry 2 of 2 (at byte 294) is not there or damaged"},
    };
    for (const auto& c : archives) {
        SCOPED_TRACE(c.archive);
        ZipFileSystem zip(archiveFixture(c.archive));
        EXPECT_FALSE(zip.isOpen());
        EXPECT_FALSE(zip.isMissing());
        EXPECT_NE(zip.problem().find(c.problem), std::string::npos) << zip.problem();
        EXPECT_EQ(zip.open("content.xml"), nullptr);
    }

    ZipFileSystem zip(archiveFixture("made-local-name-differs.zip"));
    ASSERT_TRUE(zip.isOpen()) << zip.problem();
    zip.setReport(keepReport);
    reports.clear();
    EXPECT_EQ(zip.open("content.xml"), nullptr);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find("member \"content.xml\" has a local header whose name differs from its "
                              "directory entry's"),
              std::string::npos)
        << reports[0];
    std::unique_ptr<DataFile> other(zip.open("tracks/level1.txt"));
    EXPECT_NE(other, nullptr);
}
