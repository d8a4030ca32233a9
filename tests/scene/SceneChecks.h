#ifndef QUORIN_SCENECHECKS_H
#define QUORIN_SCENECHECKS_H

#include <string>

// The pixels TestScene must show, for every back-end: one table, read by
// the OpenGL and the Direct3D scene tests alike.

struct Rgb {
    int r, g, b;
};

// How far a channel may be from the expected value: rounding of blends and
// of texture filtering.
const int sceneTolerance = 6;

// Where Direct3D 9 draws a pixel otherwise than OpenGL, by the nature of
// Direct3D or by what the back-ends set, and why.
struct Direct3dDifference {
    Rgb expected;
    int tolerance;
    const char* why;
};

struct SceneCheck {
    const char* what;
    int x, y;
    // OpenGL with its extensions (two texture units); Direct3D as well,
    // within sceneTolerance, unless direct3d says otherwise.
    Rgb expected;
    // OpenGL 1.1 without extensions: one texture unit, which keeps stage
    // 0, so the mesh shows its first stage alone.
    Rgb coreOpenGl;
    const Direct3dDifference* direct3d;
};

extern const SceneCheck sceneChecks[];
extern const int sceneCheckCount;

bool nearRgb(const Rgb& a, const Rgb& b, int tolerance);
std::string rgbText(const Rgb& c);

#endif
