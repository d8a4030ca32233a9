#include "Alert.h"

void Alert::show(const std::string&, const std::string&)
{
    // The text is already on stderr, in the terminal the game runs from.
}
