#ifndef QUORIN_LOADING_SCREEN_H
#define QUORIN_LOADING_SCREEN_H

#include <string>

// The black screen with the centred "loading" text, drawn in the frame in
// which a race ends or the ship choice is complete, so that it stays on
// screen while the next frame builds the next level or the menu.
class LoadingScreen {
public:
    // Looks up the "loading" text below Game::languageNode (reported as a
    // content error when missing).
    LoadingScreen();
    void draw();

private:
    std::string text;
};

#endif
