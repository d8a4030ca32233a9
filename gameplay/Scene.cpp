#include "Scene.h"

#include "InstructionsScene.h"
#include "MainMenuScene.h"
#include "MenuHostScene.h"
#include "RaceScene.h"
#include "ShipSelectScene.h"

Scene* createScene(int id)
{
    switch (id) {
    case sceneMenuHost:
        return new MenuHostScene();
    case sceneMainMenu:
        return new MainMenuScene();
    case sceneInstructions:
        return new InstructionsScene();
    case sceneShipSelect:
        return new ShipSelectScene();
    case sceneRace:
        return new RaceScene();
    default:
        return nullptr;
    }
}
