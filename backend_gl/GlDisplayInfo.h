#ifndef QUORIN_GLDISPLAYINFO_H
#define QUORIN_GLDISPLAYINFO_H

#include "Device.h"

#include <SDL/SDL_video.h>

// Fills a DisplayInfo from the driver's strings (glGetString of vendor,
// renderer, version and extensions) and SDL's list of full-screen modes.
// The modes are taken in SDL's order, duplicates kept; SDL's answers "no
// mode" (null) and "any size" ((SDL_Rect**)-1) leave the list empty. A null
// string reads as empty and is reported on stderr; the answer is then false.
bool fillDisplayInfo(DisplayInfo& info, const char* vendor, const char* renderer,
                     const char* version, const char* extensions, bool extensionsAvailable,
                     SDL_Rect** modes);

#endif
