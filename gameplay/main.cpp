// The program's entry: build the game (and with it the device), run it in a
// 640 x 480 window, then delete it. The exit status is 0, or 1 when the
// window could not be opened or the game stopped because its content is
// missing or malformed; in that case the player is also told why, once
// everything is released (on Windows in a message box, since a program
// started from Explorer has no console for stderr).
#include "Alert.h"
#include "ContentError.h"
#include "Game.h"

static int runGame()
{
    Game* game = Game::instance();
    int result = game->run(640, 480, false, "Quorin", false, true);
    bool contentFailed = game->contentFailed();
    destroyGame();
    if (contentFailed)
        Alert::show("Quorin: content error", ContentError::text());
    return (result != 0 || contentFailed) ? 1 : 0;
}

#ifdef _WIN32
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    return runGame();
}
#else
int main()
{
    return runGame();
}
#endif
