// content.xml over the shipped archive's other members: the game loads its
// content from an in-memory copy of quorin.zip whose content.xml is the
// input (with a recording sound manager), builds every level the content
// names (at most four), then shuts down. Missing or malformed content must
// end in a content error, never in a crash.
//
// The archive is QUORIN_FUZZ_ARCHIVE (environment), else quorin.zip in the
// working directory.
#include "ContentError.h"
#include "DataFile.h"
#include "FuzzSupport.h"
#include "Game.h"
#include "Level.h"
#include "RecordingSoundManager.h"
#include "ZipFileSystem.h"

#include <unzip.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>

namespace {

std::map<std::string, std::string> readArchive()
{
    const char* path = std::getenv("QUORIN_FUZZ_ARCHIVE");
    std::string archivePath = path && *path ? path : "quorin.zip";
    std::map<std::string, std::string> members;
    unzFile zip = unzOpen(archivePath.c_str());
    ZipFileSystem reader(archivePath);
    for (int status = zip ? unzGoToFirstFile(zip) : UNZ_END_OF_LIST_OF_FILE; status == UNZ_OK;
         status = unzGoToNextFile(zip)) {
        char name[512];
        unz_file_info info;
        if (unzGetCurrentFileInfo(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK)
            break;
        std::unique_ptr<DataFile> file(reader.open(name));
        if (file)
            members[name] = std::string(reinterpret_cast<const char*>(file->data()), file->size());
    }
    if (zip)
        unzClose(zip);
    if (members.empty()) {
        std::fprintf(stderr, "content_fuzzer: no members read from %s\n", archivePath.c_str());
        std::abort();
    }
    return members;
}

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::map<std::string, std::string> archive = readArchive();
    const std::string contentXml(reinterpret_cast<const char*>(data), size);

    ContentError::clear();
    Game* game = Game::instance();
    game->setSize(640, 480);
    game->setRecording(false);
    game->resetRenderStates();
    game->openArchive = [&contentXml]() -> FileSystem* {
        MemoryFileSystem* files = new MemoryFileSystem();
        for (const auto& member : archive)
            files->add(member.first, member.second);
        files->add("content.xml", contentXml);
        return files;
    };
    game->openSoundManager = []() -> SoundManager* { return new RecordingSoundManager(); };
    game->onInit();
    const bool loaded = game->scene != nullptr && !game->contentFailed();
    fuzzCheck(loaded || ContentError::raised());
    if (loaded) {
        for (int i = 0; i < game->levelCount() && i < 4; ++i) {
            std::unique_ptr<Level> level(createLevel(i));
            fuzzCheck(level != nullptr || ContentError::raised());
        }
        game->onFrame(0.02f);
    }
    game->onShutdown();
    game->releaseAllResources();
    destroyGame();
    ContentError::clear();
    return 0;
}
