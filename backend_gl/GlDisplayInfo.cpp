#include "GlDisplayInfo.h"

#include <cstdio>

namespace {

bool take(std::string& field, const char* text, const char* what)
{
    if (!text) {
        std::fprintf(stderr, "racer_gl: the OpenGL driver gives no %s string\n", what);
        field.clear();
        return false;
    }
    field = text;
    return true;
}

} // namespace

bool fillDisplayInfo(DisplayInfo& info, const char* vendor, const char* renderer,
                     const char* version, const char* extensions, bool extensionsAvailable,
                     SDL_Rect** modes)
{
    info.apiName = "OpenGL";
    bool complete = take(info.vendor, vendor, "vendor");
    complete = take(info.renderer, renderer, "renderer") && complete;
    complete = take(info.version, version, "version") && complete;
    complete = take(info.extensions, extensions, "extension") && complete;
    info.extensionsAvailable = extensionsAvailable;

    std::vector<DisplayMode>().swap(info.displayModes);
    if (modes && modes != reinterpret_cast<SDL_Rect**>(-1)) {
        for (SDL_Rect** mode = modes; *mode; ++mode)
            info.displayModes.push_back(DisplayMode{(*mode)->w, (*mode)->h});
    }
    return complete;
}
