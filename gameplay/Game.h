#ifndef QUORIN_GAME_H
#define QUORIN_GAME_H

#include QUORIN_DEVICE_HEADER

#include <functional>
#include <vector>

class XmlDocument;
class XmlNode;
class Font;
class ShipType;
class Texture;
class Level;
class SoundHandle;
class Ship;
class Scene;
class Backdrop;
class LoadingScreen;
class FileSystem;
class SoundManager;

// The application: the device of its build, the owner of everything the
// game loads or builds, and the state machine that runs the menu and the
// races. One process-wide instance, reached through Game::instance.
class Game : public QUORIN_DEVICE_CLASS {
public:
    // Creates the game (and with it the device) on the first call.
    static Game* instance();

    virtual ~Game();

    // Device hooks.
    void onInit() override;
    void onFrame(float elapsedSeconds) override;
    void onKey(int key) override;
    void onShutdown() override;

    // Speed factor of floor tiles 1 (slow) to 4 (very fast); 0 for any other
    // tile type (hole, cube).
    float tileSpeed(int tileType) const;

    // "languages"/"french": the node the screen texts are found below.
    XmlNode* languageNode() const;

    // Number of levels in the content ("levels" children).
    int levelCount() const;

    // Whether the game stopped because its content is missing or malformed;
    // the program then exits with a failure status.
    bool contentFailed() const { return failed; }

    XmlDocument* content = nullptr;
    Font* littleFont = nullptr;
    Font* bigFont = nullptr;
    std::vector<ShipType*> shipTypes;
    Texture* hudTexture = nullptr;
    Texture* detailTexture = nullptr;
    Level* level = nullptr;
    int levelIndex = 0;
    SoundHandle* clickSelectSound = nullptr;
    SoundHandle* clickValidateSound = nullptr;
    SoundHandle* deathSound = nullptr;
    SoundHandle* goSound = nullptr;
    SoundHandle* jumpSound = nullptr;
    Texture* plainTexture = nullptr;
    Ship* ship1 = nullptr;
    Ship* ship2 = nullptr;
    Scene* scene = nullptr;
    float clock = 0.0f;
    float lastElapsed = 0.0f;
    float tickTime = 0.0f;
    Backdrop* backdrop = nullptr;
    LoadingScreen* loadingScreen = nullptr;
    float tileSpeeds[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    FileSystem* archive = nullptr;
    SoundManager* soundManager = nullptr;

    // Where onInit takes the data archive and the sound manager from. The
    // programs keep the defaults ("quorin.zip" in the working directory and
    // the real sound manager); tests hand in in-memory ones.
    std::function<FileSystem*()> openArchive;
    std::function<SoundManager*()> openSoundManager;

protected:
    Game();

private:
    bool loadContent();
    void stopForContentError();

    bool failed = false;
};

// Deletes the game, if there is one, and forgets it.
void destroyGame();

#endif
