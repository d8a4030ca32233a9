#ifndef QUORIN_MENU_HOST_SCENE_H
#define QUORIN_MENU_HOST_SCENE_H

#include "Scene.h"

class ShipType;
class SoundHandle;

// The menus: draws the backdrop, plays the menu music, lets one key through
// every 0.2 seconds to its sub-scene (main menu, instructions or ship
// selection) and, when done, hands the chosen ship types to the game
// (player1ShipType null means quit).
class MenuHostScene : public Scene {
public:
    MenuHostScene();
    ~MenuHostScene() override;

    void frame() override;
    void onKey(int key) override;
    bool isDone() override { return done; }
    int getId() override { return sceneMenuHost; }

    bool done = false;
    float nextKeyTime = 0.0f;
    ShipType* player1ShipType = nullptr;
    ShipType* player2ShipType = nullptr;
    SoundHandle* music = nullptr;
    Scene* subScene = nullptr;
};

#endif
