#ifndef QUORIN_SHIP_SELECT_SCENE_H
#define QUORIN_SHIP_SELECT_SCENE_H

#include "Scene.h"

#include <string>

class ShipType;
class Texture;

// Ship selection: the ship type under consideration turning in the middle
// of the screen with its name and three gauges. One player picks a type, or
// player 1 and then player 2 (who starts on player 1's choice).
class ShipSelectScene : public Scene {
public:
    ShipSelectScene();
    ~ShipSelectScene() override;

    void frame() override;
    void onKey(int key) override;
    bool isDone() override { return done; }
    int getId() override { return sceneShipSelect; }

    // A row of cells for a gauge value: 2 n + 1 filled cells (n = value × 10
    // truncated), then empty ones up to 21.
    void drawGauge(int x, int y, float value, int cell);

    int players = 0;
    int choosingPlayer2 = 0;
    int index = 0;
    ShipType* player1ShipType = nullptr;
    ShipType* player2ShipType = nullptr;
    float shownGrip = 0.0f;
    float shownMaxSpeed = 0.0f;
    float shownLenghtJump = 0.0f;
    bool done = false;
    Texture* cellTexture = nullptr;
    Texture* envMap = nullptr;

private:
    // The highest index a key can reach: 2, or less with fewer ship types.
    int lastIndex() const;

    // Labels of the current language, looked up once.
    std::string aloneTitle, player1Title, player2Title;
    std::string nameLabel, gripLabel, maxSpeedLabel, lenghtJumpLabel;
    std::string player1Line, player2Line;
};

#endif
