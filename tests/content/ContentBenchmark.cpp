// Load times of the shipped archive's members, by kind, with the engine's
// loaders (figures in docs/perf-content.md).

#include "DataFile.h"
#include "FileSystem.h"
#include "FmodSoundManager.h"
#include "Font.h"
#include "Image.h"
#include "Mesh.h"
#include "MeshLoader.h"
#include "RecordingDevice.h"
#include "SoundHandle.h"
#include "SoundManager.h"
#include "TestEnvironment.h"
#include "XmlAttribute.h"
#include "XmlDocument.h"
#include "XmlNode.h"
#include "XmlParser.h"
#include "ZipFileSystem.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

std::string textOf(XmlNode* node)
{
    return node && node->childCount() > 0 && node->child(0) ? node->child(0)->text() : "";
}

// Every member path named by content.xml, sorted by the loader that reads it.
struct Members {
    std::vector<std::string> pictures, meshes, sounds;
    std::vector<std::pair<std::string, int>> fonts;
};

Members members(XmlNode* root)
{
    Members m;
    for (const char* key : {"hud", "detail"})
        m.pictures.push_back(textOf(root->findElement("common")->findElement(key)));
    XmlNode* menu = root->findElement("menu");
    for (const char* key : {"background", "clouds", "cursor", "shipEnvmap"})
        m.pictures.push_back(textOf(menu->findElement(key)));
    m.sounds.push_back(textOf(menu->findElement("music")));
    XmlNode* levels = root->findElement("levels");
    for (int i = 0; i < levels->childCount(); ++i) {
        XmlNode* level = levels->child(i);
        for (const char* key : {"background", "clouds", "shipEnvmap", "tileSlow", "tileNormal", "tileFast",
                                "tileVeryFast", "cube"})
            m.pictures.push_back(textOf(level->findElement(key)));
        m.sounds.push_back(textOf(level->findElement("music")));
    }
    XmlNode* ships = root->findElement("ships");
    for (int i = 0; i < ships->childCount(); ++i)
        m.meshes.push_back(textOf(ships->child(i)->findElement("mesh")));
    XmlNode* sounds = root->findElement("sounds");
    for (int i = 0; i < sounds->childCount(); ++i)
        m.sounds.push_back(textOf(sounds->child(i)));
    XmlNode* fonts = root->findElement("fonts");
    for (const char* key : {"little", "big"}) {
        XmlNode* font = fonts->findElement(key);
        m.fonts.emplace_back(textOf(font), std::atoi(font->findAttribute("size")->value().c_str()));
    }
    return m;
}

struct Archive {
    Archive() : archive(createZipFileSystem(QUORIN_ARCHIVE_PATH))
    {
        FileSystem::setInstance(archive.get());
        content.reset(parseXmlFile("content.xml"));
        list = members(content->root());
    }
    ~Archive() { FileSystem::setInstance(nullptr); }
    RecordingDevice device;
    std::unique_ptr<ZipFileSystem> archive;
    std::unique_ptr<XmlDocument> content;
    Members list;
};

void openAndParseContent(benchmark::State& state)
{
    for (auto _ : state) {
        std::unique_ptr<ZipFileSystem> archive(createZipFileSystem(QUORIN_ARCHIVE_PATH));
        FileSystem::setInstance(archive.get());
        std::unique_ptr<XmlDocument> content(parseXmlFile("content.xml"));
        benchmark::DoNotOptimize(content.get());
        FileSystem::setInstance(nullptr);
    }
}
BENCHMARK(openAndParseContent)->Unit(benchmark::kMillisecond);

void decodeEveryPicture(benchmark::State& state)
{
    Archive a;
    for (auto _ : state)
        for (const std::string& path : a.list.pictures) {
            std::unique_ptr<Image> image(loadImageFile(path, true));
            benchmark::DoNotOptimize(image.get());
        }
    state.counters["pictures"] = static_cast<double>(a.list.pictures.size());
}
BENCHMARK(decodeEveryPicture)->Unit(benchmark::kMillisecond);

void loadShipMeshes(benchmark::State& state)
{
    Archive a;
    for (auto _ : state) {
        for (const std::string& path : a.list.meshes) {
            std::unique_ptr<Mesh> mesh(loadMesh(path));
            benchmark::DoNotOptimize(mesh.get());
        }
        a.device.releaseAllResources();
    }
}
BENCHMARK(loadShipMeshes)->Unit(benchmark::kMillisecond);

void buildBothFonts(benchmark::State& state)
{
    Archive a;
    for (auto _ : state)
        for (const auto& font : a.list.fonts) {
            std::unique_ptr<Font> f(loadFont(font.first, "", 0, font.second));
            benchmark::DoNotOptimize(f.get());
        }
}
BENCHMARK(buildBothFonts)->Unit(benchmark::kMillisecond);

void loadMusicAndSounds(benchmark::State& state)
{
    setEnvironmentDefault("SDL_AUDIODRIVER", "dummy");
    Archive a;
    std::unique_ptr<SoundManager> manager(createFmodSoundManager(44100, true));
    SoundManager::setInstance(manager.get());
    for (auto _ : state)
        for (const std::string& path : a.list.sounds) {
            std::unique_ptr<SoundHandle> handle(loadSoundFile(path));
            benchmark::DoNotOptimize(handle.get());
        }
    SoundManager::setInstance(nullptr);
}
BENCHMARK(loadMusicAndSounds)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
