// The program's entry: build the game (and with it the device), run it in a
// 640 x 480 window, then delete it. The exit status is 0, or 1 when the
// window could not be opened or the game stopped because its content is
// missing or malformed.
#include "Game.h"

static int runGame()
{
    Game* game = Game::instance();
    int result = game->run(640, 480, false, "Quorin", false, true);
    bool failed = result != 0 || game->contentFailed();
    destroyGame();
    return failed ? 1 : 0;
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
