// The shipped archive, read the way the game reads it: the engine's zip file
// system, its XML parser and the loader each member will meet in the game.

#include "DataFile.h"
#include "FileSystem.h"
#include "FmodCalls.h"
#include "FmodSoundManager.h"
#include "Font.h"
#include "Image.h"
#include "Level.h"
#include "Mesh.h"
#include "MeshLoader.h"
#include "RecordingDevice.h"
#include "SoundHandle.h"
#include "SoundManager.h"
#include "TestEnvironment.h"
#include "VertexBuffer.h"
#include "XmlAttribute.h"
#include "XmlDocument.h"
#include "XmlNode.h"
#include "XmlParser.h"
#include "ZipFileSystem.h"

#include <gtest/gtest.h>
#include <unzip.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

// Counts the music modules the sound layer accepts, so a test can tell a
// module from a stream.
FmodCalls realCalls;
int modulesLoaded = 0;

FMUSIC_MODULE* countingLoadSong(const char* data, int offset, int length, unsigned int mode,
                                const int* sampleList, int sampleListCount)
{
    FMUSIC_MODULE* module = realCalls.loadSong(data, offset, length, mode, sampleList, sampleListCount);
    if (module)
        ++modulesLoaded;
    return module;
}

std::string textAt(XmlNode* from, const std::vector<std::string>& path)
{
    XmlNode* node = from;
    for (const std::string& name : path) {
        node = node ? node->findElement(name) : nullptr;
        if (!node)
            return "";
    }
    XmlNode* text = node->childCount() > 0 ? node->child(0) : nullptr;
    return text ? text->text() : "";
}

int attributeAt(XmlNode* from, const std::vector<std::string>& path, const std::string& attribute)
{
    XmlNode* node = from;
    for (const std::string& name : path)
        node = node ? node->findElement(name) : nullptr;
    XmlAttribute* a = node ? node->findAttribute(attribute) : nullptr;
    return a ? a->valueAsInt() : -1;
}

const char* const levelPictures[] = {"background", "clouds", "shipEnvmap", "tileSlow",
                                     "tileNormal", "tileFast", "tileVeryFast", "cube"};

class ContentArchive : public ::testing::Test {
protected:
    void SetUp() override
    {
        archive.reset(createZipFileSystem(QUORIN_ARCHIVE_PATH));
        ASSERT_TRUE(archive->isOpen()) << QUORIN_ARCHIVE_PATH;
        FileSystem::setInstance(archive.get());
        content.reset(parseXmlFile("content.xml"));
        ASSERT_TRUE(content && content->root());
        root = content->root();
    }

    void TearDown() override
    {
        FileSystem::setInstance(nullptr);
    }

    std::vector<XmlNode*> elementChildren(XmlNode* node) const
    {
        std::vector<XmlNode*> out;
        for (int i = 0; node && i < node->childCount(); ++i)
            if (node->child(i)->type() == XmlNode::elementNode)
                out.push_back(node->child(i));
        return out;
    }

    std::vector<XmlNode*> levels() const { return elementChildren(root->findElement("levels")); }

    RecordingDevice device;
    std::unique_ptr<ZipFileSystem> archive;
    std::unique_ptr<XmlDocument> content;
    XmlNode* root = nullptr;
};

TEST_F(ContentArchive, IsSmallAndEveryMemberNameFollowsTheEngineRules)
{
    std::FILE* file = std::fopen(QUORIN_ARCHIVE_PATH, "rb");
    ASSERT_TRUE(file);
    std::fseek(file, 0, SEEK_END);
    long size = std::ftell(file);
    std::fclose(file);
    EXPECT_LT(size, 4L * 1024 * 1024);

    // Every member opens by its own name and gets one of the extensions the
    // loaders know: a second '.' in a name would give "B.MSH" and the like.
    const std::set<std::string> known = {"XML", "PNG", "WAV", "MOD", "TTF", "CMSH", "MSH", "TXT"};
    unzFile zip = unzOpen(QUORIN_ARCHIVE_PATH);
    ASSERT_TRUE(zip);
    int members = 0;
    for (int r = unzGoToFirstFile(zip); r == UNZ_OK; r = unzGoToNextFile(zip)) {
        char name[512];
        unz_file_info info;
        ASSERT_EQ(UNZ_OK, unzGetCurrentFileInfo(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0));
        std::unique_ptr<DataFile> data(openFile(name));
        ASSERT_TRUE(data) << name;
        EXPECT_EQ(info.uncompressed_size, static_cast<unsigned long>(data->size())) << name;
        EXPECT_TRUE(known.count(data->extension())) << name << " -> " << data->extension();
        EXPECT_EQ(std::string::npos, std::string(name).find('\\')) << name;
        EXPECT_NE(0u, std::string(name).rfind("./", 0)) << name;
        ++members;
    }
    unzClose(zip);
    EXPECT_GT(members, 50);
}

TEST_F(ContentArchive, EveryPictureDecodesAtAPowerOfTwoSize)
{
    std::vector<std::string> paths = {
        textAt(root, {"common", "hud"}), textAt(root, {"common", "detail"}),
        textAt(root, {"menu", "background"}), textAt(root, {"menu", "clouds"}),
        textAt(root, {"menu", "cursor"}), textAt(root, {"menu", "shipEnvmap"})};
    for (XmlNode* level : levels())
        for (const char* key : levelPictures)
            paths.push_back(textAt(level, {key}));
    EXPECT_EQ(6u + 8u * levels().size(), paths.size());
    std::set<std::string> distinct;
    for (const std::string& path : paths) {
        ASSERT_FALSE(path.empty());
        distinct.insert(path);
        std::unique_ptr<Image> image(loadImageFile(path, true));
        ASSERT_TRUE(image) << path;
        EXPECT_GT(image->width(), 0) << path;
        // Textures are stored at powers of two; other sizes get resampled.
        EXPECT_EQ(0, image->width() & (image->width() - 1)) << path;
        EXPECT_EQ(0, image->height() & (image->height() - 1)) << path;
    }
    // Each level has pictures of its own.
    EXPECT_EQ(paths.size(), distinct.size());

    // The cursor's background is pure black, which the menu keys out.
    std::unique_ptr<Image> cursor(loadImageFile(textAt(root, {"menu", "cursor"}), true));
    EXPECT_EQ(0xFF000000u, cursor->pixels()[0]);
}

TEST_F(ContentArchive, ShipTypesHaveRealMeshesInBothFormatsThatFitTheTrack)
{
    XmlNode* ships = root->findElement("ships");
    ASSERT_TRUE(ships);
    int count = attributeAt(root, {"common", "ships"}, "count");
    std::vector<XmlNode*> types = elementChildren(ships);
    EXPECT_GE(count, 3);
    ASSERT_LE(count, static_cast<int>(types.size()));
    // The game takes ship types by child position, so nothing else may sit
    // among them (a comment would be taken for a ship).
    EXPECT_EQ(ships->childCount(), static_cast<int>(types.size()));

    std::set<std::string> formats, names;
    for (int i = 0; i < count; ++i) {
        std::string name = textAt(types[i], {"name"});
        std::string path = textAt(types[i], {"mesh"});
        float scale = static_cast<float>(std::atof(textAt(types[i], {"scale"}).c_str()));
        names.insert(name);
        for (const char* gauge : {"grip", "maxSpeed", "lenghtJump"}) {
            double value = std::atof(textAt(types[i], {gauge}).c_str());
            EXPECT_GT(value, 0.0) << name << " " << gauge;
            EXPECT_LE(value, 1.0) << name << " " << gauge;
        }
        std::unique_ptr<DataFile> file(openFile(path));
        ASSERT_TRUE(file) << path;
        formats.insert(file->extension());
        std::unique_ptr<Mesh> mesh(loadMeshData(file.get()));
        ASSERT_TRUE(mesh) << path;
        EXPECT_GT(mesh->subMeshCount(), 0) << path;
        ASSERT_TRUE(mesh->vertexBuffer());
        EXPECT_GT(mesh->vertexBuffer()->count(), 0);
        float ex = 0, ey = 0, ez = 0;
        mesh->getExtents(ex, ey, ez);
        EXPECT_GT(ex, 0.0f) << path;
        EXPECT_GT(ey, 0.0f) << path;
        EXPECT_GT(ez, 0.0f) << path;
        // The physics' measures: well inside one cell (0.1) of the track.
        EXPECT_LT(ex * scale * 0.5f, 0.03f) << path;
        EXPECT_LT(ez * scale * 0.65f, 0.05f) << path;
    }
    EXPECT_EQ(static_cast<size_t>(count), names.size());
    EXPECT_TRUE(formats.count("CMSH"));
    EXPECT_TRUE(formats.count("MSH"));
}

TEST_F(ContentArchive, BothFontsBuildTheirGlyphsAndCanDrawEveryScreenText)
{
    XmlNode* french = root->findElement("languages")->findElement("french");
    ASSERT_TRUE(french);
    for (const char* which : {"little", "big"}) {
        int size = attributeAt(root, {"common", "fonts", which}, "size");
        ASSERT_GT(size, 2) << which;
        std::unique_ptr<Font> font(loadFont(textAt(root, {"common", "fonts", which}), "", 0, size));
        ASSERT_TRUE(font) << which;
        int glyphs = 0;
        for (int c = 0; c < 256; ++c)
            glyphs += font->glyph(static_cast<unsigned char>(c)) != nullptr;
        EXPECT_EQ(97, glyphs) << which;
        EXPECT_EQ(size, font->lineHeight()) << which;

        // Every byte of every screen text has a glyph (a lower-case letter may
        // use its capital); a byte without one would be drawn as a blank.
        std::vector<XmlNode*> pending = {french};
        int texts = 0;
        while (!pending.empty()) {
            XmlNode* node = pending.back();
            pending.pop_back();
            for (int i = 0; i < node->childCount(); ++i)
                pending.push_back(node->child(i));
            if (node->type() != XmlNode::textNode)
                continue;
            ++texts;
            for (unsigned char c : node->text()) {
                bool drawable = font->glyph(c) || (c >= 'a' && c <= 'z' && font->glyph(c - 32));
                EXPECT_TRUE(drawable) << which << ": byte " << int(c) << " in \"" << node->text() << "\"";
            }
            // The little font draws every line; it must fit the 640-pixel window.
            if (std::string(which) == "little") {
                EXPECT_LT(font->textWidth(node->text()), 640) << "\"" << node->text() << "\"";
            }
        }
        EXPECT_GT(texts, 20);
        if (std::string(which) == "big") {
            for (const char* title : {"gameName", "instructionsTitle", "selectShipAloneTitle",
                                      "selectShipPlayer1Title", "selectShipPlayer2Title"})
                EXPECT_LT(font->textWidth(textAt(french, {title})), 640) << title;
        }
    }
    // The screens the menu reads by position.
    EXPECT_EQ(4, french->findElement("menuItems")->childCount());
    for (const char* key : {"gameName", "instructionsTitle", "selectShipAloneTitle", "selectShipPlayer1Title",
                            "selectShipPlayer2Title", "name", "grip", "maxSpeed", "lenghtJump",
                            "instructionsPlayer1", "instructionsPlayer2", "loading"})
        EXPECT_FALSE(textAt(french, {key}).empty()) << key;
}

TEST_F(ContentArchive, MusicLoadsAsModulesAndSoundsAsStreams)
{
    setEnvironmentDefault("SDL_AUDIODRIVER", "dummy");
    realCalls = FmodCalls::layer();
    FmodCalls calls = realCalls;
    calls.loadSong = countingLoadSong;
    FmodSoundManager manager(44100, true, calls);
    SoundManager::setInstance(&manager);

    std::vector<std::string> music = {textAt(root, {"menu", "music"})};
    for (XmlNode* level : levels())
        music.push_back(textAt(level, {"music"}));
    for (const std::string& path : music) {
        int before = modulesLoaded;
        std::unique_ptr<SoundHandle> handle(loadSoundFile(path));
        EXPECT_TRUE(handle) << path;
        EXPECT_EQ(before + 1, modulesLoaded) << path << " is not a module";
    }
    for (const char* sound : {"clickSelect", "clickValidate", "go", "death", "jump"}) {
        std::string path = textAt(root, {"common", "sounds", sound});
        int before = modulesLoaded;
        std::unique_ptr<SoundHandle> handle(loadSoundFile(path));
        EXPECT_TRUE(handle) << sound << ": " << path;
        EXPECT_EQ(before, modulesLoaded) << path;
    }
    SoundManager::setInstance(nullptr);
}

TEST_F(ContentArchive, EightOrMoreLevelsWithTracksThatStartFreeAndUseEveryFloor)
{
    ASSERT_GE(levels().size(), 8u);
    EXPECT_EQ(root->findElement("levels")->childCount(), static_cast<int>(levels().size()));
    size_t previousRows = 0;
    for (XmlNode* level : levels()) {
        std::string path = textAt(level, {"track"});
        std::unique_ptr<DataFile> file(openFile(path));
        ASSERT_TRUE(file) << path;
        std::vector<int> grid;
        Level::readTrack(reinterpret_cast<const char*>(file->data()), static_cast<size_t>(file->size()), grid);
        size_t rows = grid.size() / 9;
        EXPECT_GE(rows, 200u) << path;
        EXPECT_EQ(0u, grid.size() % 9) << path;
        EXPECT_GE(rows, previousRows) << path << ": later levels are not shorter";
        previousRows = rows;
        for (size_t cell = 0; cell < 9 * 10 && cell < grid.size(); ++cell)
            EXPECT_TRUE(grid[cell] >= 1 && grid[cell] <= 4) << path << ": start row cell " << cell;
        std::set<int> tiles(grid.begin(), grid.end());
        for (int floor = 1; floor <= 4; ++floor)
            EXPECT_TRUE(tiles.count(floor)) << path << " has no floor " << floor;
        EXPECT_GT(std::atof(textAt(level, {"speed"}).c_str()), 0.0) << path;
        EXPECT_GE(std::atoi(textAt(level, {"jumpCount"}).c_str()), 1) << path;
    }
    for (const char* speed : {"slow", "normal", "fast", "veryFast"})
        EXPECT_GT(std::atof(textAt(root, {"game", "tile", "speed", speed}).c_str()), 0.0) << speed;
    EXPECT_GT(std::atof(textAt(root, {"common", "tickTime"}).c_str()), 0.0);
}

} // namespace
