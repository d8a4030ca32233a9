#ifndef QUORIN_RACE_SCENE_H
#define QUORIN_RACE_SCENE_H

#include "Scene.h"

class RaceView;

// One race of one or two players. The ships are not held here: every frame
// reads Game::ship1 and Game::ship2 (ship 2 null in a one-player race).
class RaceScene : public Scene
{
public:
    RaceScene();
    ~RaceScene() override;

    // Updates and draws ship 1 (whole window, or the top half when there is
    // a ship 2), then ship 2 (bottom half); ends the race once every ship
    // has finished or is out for good, drawing the loading screen over it.
    void frame() override;
    // Ship 1 gets every key; ship 2 only X (left), V (right) and left
    // Control (jump), translated to the arrow and Space numbers.
    void onKey(int key) override;
    bool isDone() override { return done; }
    int getId() override { return 4; }

    RaceView* raceView;
    bool done;

private:
    RaceScene(const RaceScene&) = delete;
    RaceScene& operator=(const RaceScene&) = delete;
};

#endif
