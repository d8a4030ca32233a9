#ifndef QUORIN_RACE_VIEW_H
#define QUORIN_RACE_VIEW_H

#include <string>

class Ship;

// View types of RaceView::draw.
enum RaceViewType
{
    viewWhole = 0,
    viewTop = 1,
    viewBottom = 2
};

// One ship's view of the race: backdrop, the next 40 rows of track, the ship
// and the head-up display with the countdown. One view object serves both
// ships of a two-player race, so they share the countdown flags.
class RaceView
{
public:
    RaceView();

    // Viewport of the view type, backdrop, scene and head-up display, then
    // the whole window as viewport again.
    void draw(int viewType, Ship* ship);
    void drawScene(Ship* ship);
    void drawHud(Ship* ship);

    // One per countdown step "3", "2", "1", "GO!": set once its sound has
    // played, cleared by the next step. Each ship has a bit of its own (1
    // for player 1, 2 for player 2), so a ship one step further on clears
    // only its own bit and never re-arms a step the other ship is still on.
    unsigned char countdownFlags[4];
    // Game::clock when each step's sound last played: a second ship
    // reaching the same step in the same frame stays silent.
    float countdownPlayedAt[4];

private:
    void drawCentred(const std::string& text);

    // Reused text buffers, so drawing the figures allocates nothing.
    std::string scoreText;
    std::string jumpsText;
    std::string livesText;
    std::string timeText;
};

RaceView* createRaceView();

#endif
