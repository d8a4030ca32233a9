#include "Game.h"

#include "Backdrop.h"
#include "ContentError.h"
#include "Level.h"
#include "LoadingScreen.h"
#include "MenuHostScene.h"
#include "Scene.h"
#include "Ship.h"
#include "ShipType.h"

#include "FileSystem.h"
#include "FmodSoundManager.h"
#include "Font.h"
#include "SoundHandle.h"
#include "SoundManager.h"
#include "Texture.h"
#include "XmlAttribute.h"
#include "XmlDocument.h"
#include "XmlNode.h"
#include "XmlParser.h"
#include "ZipFileSystem.h"

#include <exception>
#include <filesystem>
#include <string>
#include <system_error>

namespace {

Game* theGame = nullptr;

// The folder the game was started in, for a player told that quorin.zip is
// not there.
std::string workingFolder()
{
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::current_path(error);
    if (!error) {
        try {
            return folder.string();
        } catch (const std::exception&) {
            // a name the system's code page cannot spell
        }
    }
    return "the working directory";
}

template <class T>
void deleteAndClear(T*& object)
{
    delete object;
    object = nullptr;
}

} // namespace

Game* Game::instance()
{
    if (!theGame)
        theGame = new Game();
    return theGame;
}

void destroyGame()
{
    if (theGame) {
        bool current = Device::instance() == theGame;
        delete theGame;
        if (current)
            Device::setInstance(nullptr);
    }
    theGame = nullptr;
}

Game::Game()
{
    openArchive = []() -> FileSystem* {
        ZipFileSystem* zip = createZipFileSystem("quorin.zip");
        if (zip->isMissing())
            ContentError::report("there is no data archive \"quorin.zip\" in the folder the game was started in (" +
                                 workingFolder() + ")");
        else if (!zip->isOpen())
            ContentError::report("the data archive \"quorin.zip\" is damaged or not a zip archive: " + zip->problem());
        // A member that is there but cannot be read is bad content, said
        // with its reason (the loader that asked for it names it again).
        zip->setReport(&ContentError::report);
        return zip;
    };
    openSoundManager = [] { return createFmodSoundManager(44100, true); };
}

Game::~Game()
{
}

float Game::tileSpeed(int tileType) const
{
    if (tileType >= 1 && tileType <= 4)
        return tileSpeeds[tileType - 1];
    return 0.0f;
}

XmlNode* Game::languageNode() const
{
    if (!content || !content->root())
        return nullptr;
    XmlNode* languages = content->root()->findElement("languages");
    return languages ? languages->findElement("french") : nullptr;
}

int Game::levelCount() const
{
    if (!content || !content->root())
        return 0;
    XmlNode* levels = content->root()->findElement("levels");
    return levels ? levels->childCount() : 0;
}

namespace {

const char* const languagePath = "languages/french";

// Every screen text; the scenes look them up again when they are built.
const char* const screenTexts[] = {
    "gameName", "menuItems", "instructionsTitle", "instructions",
    "selectShipAloneTitle", "selectShipPlayer1Title", "selectShipPlayer2Title",
    "name", "grip", "maxSpeed", "lenghtJump",
    "instructionsPlayer1", "instructionsPlayer2", "loading",
};

// The ship selection shows the first three ship types.
const int shipTypesNeeded = 3;

Font* loadGameFont(XmlNode* fonts, const char* name)
{
    const std::string where = std::string("common/fonts/") + name;
    XmlNode* element = contentElement(fonts, name, "common/fonts");
    if (!element)
        return nullptr;
    int size = contentAttributeInt(element, "size", where);
    std::string file = contentText(fonts, name, "common/fonts");
    if (ContentError::raised())
        return nullptr;
    if (size <= 0 || size > 1024) {
        ContentError::report("size " + std::to_string(size) + " of " + where + " is not a usable font size");
        return nullptr;
    }
    Font* font = loadFont(file, "", 0, size);
    if (!font) {
        ContentError::report("cannot load the font \"" + file + "\" of " + where +
                             ": missing, or a font without glyphs (a TrueType file is needed)");
        return nullptr;
    }
    if (font->lineHeight() <= 0) {
        ContentError::report("the font \"" + file + "\" of " + where + " is a font without glyphs (a TrueType file is needed)");
        delete font;
        return nullptr;
    }
    return font;
}

Texture* loadGamePicture(XmlNode* from, const char* name, const std::string& where)
{
    std::string file = contentText(from, name, where);
    if (file.empty())
        return nullptr;
    Texture* texture = loadTexture(false, file, true);
    if (!texture)
        ContentError::report("cannot load the picture \"" + file + "\" of " + where + "/" + name);
    return texture;
}

SoundHandle* loadGameSound(XmlNode* sounds, const char* name)
{
    std::string file = contentText(sounds, name, "common/sounds");
    if (file.empty())
        return nullptr;
    SoundHandle* sound = loadSoundFile(file);
    if (!sound)
        ContentError::report("cannot load the sound \"" + file + "\" of common/sounds/" + name);
    return sound;
}

} // namespace

void Game::onInit()
{
    if (loadContent())
        return;
    stopForContentError();
}

bool Game::loadContent()
{
    ContentError::clear();
    failed = false;

    archive = openArchive();
    FileSystem::setInstance(archive);
    if (ContentError::raised())
        return false;
    soundManager = openSoundManager();
    SoundManager::setInstance(soundManager);

    content = parseXmlFile("content.xml");
    if (!content) {
        ContentError::report("cannot read \"content.xml\" from the archive");
        return false;
    }
    XmlNode* root = content->root();
    if (!root) {
        ContentError::report("\"content.xml\" holds no element");
        return false;
    }

    XmlNode* common = contentElement(root, "common", "content.xml");
    XmlNode* ships = contentElement(common, "ships", "common");
    int count = contentAttributeInt(ships, "count", "common/ships");
    if (ContentError::raised())
        return false;
    if (count > ships->childCount()) {
        ContentError::report("common/ships has count " + std::to_string(count) + " but holds only " +
                             std::to_string(ships->childCount()) + " ships");
        return false;
    }
    if (count < shipTypesNeeded) {
        ContentError::report("common/ships has " + std::to_string(count) + " ship types; the game needs " +
                             std::to_string(shipTypesNeeded));
        return false;
    }
    for (int i = 0; i < count; ++i) {
        XmlNode* ship = ships->child(i);
        const std::string where = "common/ships ship " + std::to_string(i);
        if (!ship || ship->type() != XmlNode::elementNode) {
            ContentError::report(where + " is not an element");
            return false;
        }
        std::string name = contentText(ship, "name", where);
        float scale = contentFloat(ship, "scale", where);
        float lenghtJump = contentFloat(ship, "lenghtJump", where);
        float grip = contentFloat(ship, "grip", where);
        float maxSpeed = contentFloat(ship, "maxSpeed", where);
        std::string mesh = contentText(ship, "mesh", where);
        if (ContentError::raised())
            return false;
        ShipType* type = createShipType(name, mesh, scale, grip, maxSpeed, lenghtJump);
        if (!type) {
            if (!ContentError::raised())
                ContentError::report("cannot load the mesh \"" + mesh + "\" of " + where);
            return false;
        }
        shipTypes.push_back(type);
    }

    XmlNode* fonts = contentElement(common, "fonts", "common");
    littleFont = loadGameFont(fonts, "little");
    if (littleFont)
        bigFont = loadGameFont(fonts, "big");
    if (ContentError::raised())
        return false;

    hudTexture = loadGamePicture(common, "hud", "common");
    detailTexture = loadGamePicture(common, "detail", "common");
    tickTime = contentFloat(common, "tickTime", "common");
    if (ContentError::raised())
        return false;

    XmlNode* sounds = contentElement(common, "sounds", "common");
    clickSelectSound = loadGameSound(sounds, "clickSelect");
    clickValidateSound = loadGameSound(sounds, "clickValidate");
    goSound = loadGameSound(sounds, "go");
    deathSound = loadGameSound(sounds, "death");
    jumpSound = loadGameSound(sounds, "jump");
    if (ContentError::raised())
        return false;

    XmlNode* game = contentElement(root, "game", "content.xml");
    XmlNode* tile = contentElement(game, "tile", "game");
    XmlNode* speed = contentElement(tile, "speed", "game/tile");
    const char* const speedNames[4] = {"slow", "normal", "fast", "veryFast"};
    for (int i = 0; i < 4; ++i)
        tileSpeeds[i] = contentFloat(speed, speedNames[i], "game/tile/speed");
    if (ContentError::raised())
        return false;

    plainTexture = createBlankTexture(false, 1, 1);
    plainTexture->setAlpha(176, false);

    // What the menus and the levels read later is checked now, so that bad
    // content stops the game before it starts rather than in the middle.
    XmlNode* menu = contentElement(root, "menu", "content.xml");
    const char* const menuEntries[] = {"background", "clouds", "music", "cursor", "shipEnvmap"};
    for (const char* entry : menuEntries)
        contentText(menu, entry, "menu");
    XmlNode* language = languageNode();
    if (!language)
        ContentError::report("missing element \"languages\"/\"french\" in content.xml");
    for (const char* text : screenTexts) {
        if (std::string(text) == "menuItems" || std::string(text) == "instructions")
            contentElement(language, text, languagePath);
        else
            contentText(language, text, languagePath);
    }
    XmlNode* levels = contentElement(root, "levels", "content.xml");
    if (levels && levels->childCount() == 0)
        ContentError::report("\"levels\" holds no level");
    if (ContentError::raised())
        return false;

    backdrop = createBackdrop();
    loadingScreen = new LoadingScreen();
    scene = createScene(sceneMenuHost);
    return !ContentError::raised();
}

void Game::onFrame(float elapsedSeconds)
{
    clock += elapsedSeconds;
    lastElapsed = elapsedSeconds;
    // No scene: the game has asked to quit (or could not load its content);
    // the device ends the loop after this frame.
    if (!scene)
        return;

    if (!scene->isDone()) {
        scene->frame();
        if (ContentError::raised())
            stopForContentError();
        return;
    }

    Scene* next = nullptr;
    bool broken = false;
    switch (scene->getId()) {
    case sceneMenuHost: {
        MenuHostScene* host = static_cast<MenuHostScene*>(scene);
        if (!host->player1ShipType)
            break;
        // The level comes first: a new ship takes its jumps and start from it.
        level = createLevel(levelIndex);
        if (!level) {
            broken = true;
            break;
        }
        ship1 = createShip(host->player1ShipType);
        ship2 = createShip(host->player2ShipType);
        next = createScene(sceneRace);
        break;
    }
    case sceneRace: {
        deleteAndClear(level);
        bool lost = (ship1 && ship1->isOut()) || (ship2 && ship2->isOut());
        if (lost) {
            deleteAndClear(ship1);
            deleteAndClear(ship2);
            next = createScene(sceneMenuHost);
            break;
        }
        // After the last level the game goes on from the first one, with
        // the same ships: lives and score carry over as between any two
        // levels.
        levelIndex += 1;
        if (levelIndex >= levelCount())
            levelIndex = 0;
        level = createLevel(levelIndex);
        if (!level) {
            broken = true;
            break;
        }
        if (ship1)
            ship1->reset();
        if (ship2)
            ship2->reset();
        next = createScene(sceneRace);
        break;
    }
    default:
        break;
    }

    delete scene;
    scene = nullptr;
    if (broken || ContentError::raised()) {
        // The next level or menu could not be built from the content.
        delete next;
        stopForContentError();
        return;
    }
    if (next) {
        scene = next;
        return;
    }
    // Clear the scene before asking to quit: a device that closes at once
    // runs onShutdown inside requestQuit.
    requestQuit();
}

void Game::onKey(int key)
{
    if (scene)
        scene->onKey(key);
}

void Game::stopForContentError()
{
    if (!ContentError::raised())
        ContentError::report("the game cannot go on with this content");
    failed = true;
    deleteAndClear(scene);
    requestQuit();
}

void Game::onShutdown()
{
    deleteAndClear(content);
    deleteAndClear(littleFont);
    deleteAndClear(bigFont);
    deleteAndClear(hudTexture);
    deleteAndClear(detailTexture);
    deleteAndClear(clickSelectSound);
    deleteAndClear(clickValidateSound);
    deleteAndClear(deathSound);
    deleteAndClear(goSound);
    deleteAndClear(jumpSound);
    deleteAndClear(plainTexture);
    deleteAndClear(ship1);
    deleteAndClear(ship2);
    for (ShipType* type : shipTypes)
        delete type;
    shipTypes.clear();
    deleteAndClear(level);
    deleteAndClear(backdrop);
    deleteAndClear(loadingScreen);
    deleteAndClear(scene);
    if (archive && FileSystem::instance() == archive)
        FileSystem::setInstance(nullptr);
    deleteAndClear(archive);
    if (soundManager && SoundManager::instance() == soundManager)
        SoundManager::setInstance(nullptr);
    deleteAndClear(soundManager);
}
