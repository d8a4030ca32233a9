#ifndef QUORIN_INSTRUCTIONS_SCENE_H
#define QUORIN_INSTRUCTIONS_SCENE_H

#include "Scene.h"

#include <string>
#include <vector>

// The instructions page: a title and centred lines, until Enter or Space.
class InstructionsScene : public Scene {
public:
    InstructionsScene();

    void frame() override;
    void onKey(int key) override;
    bool isDone() override { return done; }
    int getId() override { return sceneInstructions; }

    bool done = false;

private:
    // Texts of the current language, looked up once; an empty line takes
    // its height and draws nothing.
    std::string title;
    std::vector<std::string> lines;
};

#endif
