#ifndef QUORIN_MAIN_MENU_SCENE_H
#define QUORIN_MAIN_MENU_SCENE_H

#include "Scene.h"

#include <string>
#include <vector>

class Texture;

// Menu choices, by row.
enum MenuChoice {
    choiceOnePlayer = 0,
    choiceTwoPlayers = 1,
    choiceInstructions = 2,
    choiceQuit = 3
};

extern const int menuChoiceTable[4];

// The title and the four menu items, with a highlight bar and a pulsing
// cursor on the current row; up and down move, Enter or Space validate.
class MainMenuScene : public Scene {
public:
    MainMenuScene();
    ~MainMenuScene() override;

    void frame() override;
    void onKey(int key) override;
    bool isDone() override { return done; }
    int getId() override { return sceneMainMenu; }

    int choice = 0;
    bool done = false;
    Texture* cursor = nullptr;
    int index = 0;

private:
    // Texts of the current language, looked up once.
    std::string title;
    std::vector<std::string> items;
};

#endif
