#include "MenuHostScene.h"

#include "Backdrop.h"
#include "ContentError.h"
#include "Game.h"
#include "LoadingScreen.h"
#include "MainMenuScene.h"
#include "ShipSelectScene.h"

#include "SoundHandle.h"
#include "SoundManager.h"
#include "XmlDocument.h"
#include "XmlNode.h"

namespace {

// Seconds between two keys let through to the menus.
const float keyInterval = 0.2f;

} // namespace

MenuHostScene::MenuHostScene()
{
    Game* game = Game::instance();
    XmlNode* root = game->content ? game->content->root() : nullptr;
    XmlNode* menu = contentElement(root, "menu", "content.xml");
    std::string background = contentText(menu, "background", "menu");
    std::string clouds = contentText(menu, "clouds", "menu");
    if (game->backdrop && !ContentError::raised())
        game->backdrop->setTextures(background, clouds);
    subScene = createScene(sceneMainMenu);
    nextKeyTime = 0.0f;
    player1ShipType = nullptr;
    player2ShipType = nullptr;
    std::string musicPath = contentText(menu, "music", "menu");
    if (!musicPath.empty()) {
        music = loadSoundFile(musicPath);
        if (!music)
            ContentError::report("cannot load the menu music \"" + musicPath + "\"");
        playSound(music);
    }
    done = false;
}

MenuHostScene::~MenuHostScene()
{
    delete subScene;
    delete music;
}

void MenuHostScene::onKey(int key)
{
    // Once finished the host has no sub-scene; a key that still arrives
    // before the game replaces the host goes nowhere.
    if (!subScene)
        return;
    Game* game = Game::instance();
    if (game->clock > nextKeyTime) {
        nextKeyTime = game->clock + keyInterval;
        subScene->onKey(key);
    }
}

void MenuHostScene::frame()
{
    Game* game = Game::instance();
    game->setViewport(0, 0, game->width(), game->height());
    if (game->backdrop)
        game->backdrop->draw();
    if (!subScene)
        return;
    if (!subScene->isDone()) {
        subScene->frame();
        return;
    }

    Scene* next = nullptr;
    switch (subScene->getId()) {
    case sceneMainMenu:
        switch (static_cast<MainMenuScene*>(subScene)->choice) {
        case choiceOnePlayer:
        case choiceTwoPlayers: {
            ShipSelectScene* select = static_cast<ShipSelectScene*>(createScene(sceneShipSelect));
            select->players = static_cast<MainMenuScene*>(subScene)->choice == choiceOnePlayer ? 1 : 2;
            next = select;
            break;
        }
        case choiceInstructions:
            next = createScene(sceneInstructions);
            break;
        default:
            stopSound(music);
            done = true;
            break;
        }
        break;
    case sceneInstructions:
        next = createScene(sceneMainMenu);
        break;
    case sceneShipSelect: {
        ShipSelectScene* select = static_cast<ShipSelectScene*>(subScene);
        player1ShipType = select->player1ShipType;
        player2ShipType = select->player2ShipType;
        done = true;
        stopSound(music);
        if (game->loadingScreen)
            game->loadingScreen->draw();
        break;
    }
    default:
        break;
    }
    delete subScene;
    subScene = next;
}
