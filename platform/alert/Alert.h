#ifndef QUORIN_ALERT_H
#define QUORIN_ALERT_H

#include <string>

// Tells the player why the program stops, where a player sees it. On
// Windows a program started from Explorer has no console, so the text goes
// into a message box, and the call returns once the player has dismissed
// it. Elsewhere the programs are started from a terminal and have already
// printed the text on stderr, so there is nothing more to show.
class Alert {
public:
    static void show(const std::string& title, const std::string& text);
};

#endif
