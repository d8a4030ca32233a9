#include "SceneChecks.h"

#include <cstdlib>

namespace {

const Rgb background = {0, 0, 64};
const Rgb red = {255, 0, 0}, green = {0, 255, 0}, blue = {0, 0, 255}, white = {255, 255, 255};
const Rgb cyan = {0, 255, 255}, magenta = {255, 0, 255}, yellow = {255, 255, 0}, grey = {128, 128, 128};
const Rgb orange = {255, 128, 0}, purple = {128, 0, 255};

// What Direct3D 9 draws otherwise, and why. Texel centres (Direct3D samples
// at the pixel's corner, OpenGL at its middle) and the render-target flip
// (a render target's rows are stored top first and read with v reversed)
// change no pixel checked here: every check lies inside a texel, and the
// render target shows upright through both back-ends.
const Direct3dDifference stencilReferenceAtOnce = {
    yellow, sceneTolerance,
    "Direct3D takes a stencil reference at once: the green quad, drawn with reference 2, finds no 2 "
    "in the mark, so the yellow mark stays; the OpenGL back-end hands the reference over with the next "
    "stencil test and still draws with 1"};
const Direct3dDifference multiplicativeWithoutSource = {
    {128, 64, 0}, sceneTolerance,
    "racer_d3d blends multiplicatively as destination x (1 - source colour); racer_gl adds the source "
    "to that"};
const Direct3dDifference sphereMapFromBelow = {
    white, sceneTolerance,
    "Direct3D's sphere map makes v = 0.5 - 0.5 ny from the camera-space normal, over textures stored "
    "bottom row first: a normal leaning up reads the picture's lower half (its bottom-right texel is "
    "white) where OpenGL's sphere map reads the upper half"};

} // namespace

const SceneCheck sceneChecks[] = {
    {"picture top-left", 45, 45, red, red, nullptr},
    {"picture top-right", 95, 45, green, green, nullptr},
    {"picture bottom-left", 45, 95, blue, blue, nullptr},
    {"picture bottom-right", 95, 95, white, white, nullptr},
    {"drawAt top-left", 201, 21, cyan, cyan, nullptr},
    {"drawAt top-right", 238, 21, magenta, magenta, nullptr},
    {"drawAt bottom-left", 201, 38, yellow, yellow, nullptr},
    {"drawAt bottom-right", 238, 38, grey, grey, nullptr},
    {"left of drawAt", 198, 30, background, background, nullptr},
    {"right of drawAt", 241, 30, background, background, nullptr},
    {"below drawAt", 220, 41, background, background, nullptr},
    // With one texture unit the mesh shows its first stage alone.
    {"mesh top-left", 325, 45, red, red, nullptr},
    {"mesh top-right", 375, 45, cyan, white, nullptr},
    {"mesh bottom-left", 325, 95, red, red, nullptr},
    {"mesh bottom-right", 375, 95, cyan, white, nullptr},
    {"clockwise triangle culled", 470, 40, background, background, nullptr},
    {"no second-stage blend after its stage", 600, 70, green, green, nullptr},
    {"near quad", 40, 210, red, red, nullptr},
    {"near quad over far quad", 95, 210, red, red, nullptr},
    {"far quad", 150, 210, green, green, nullptr},
    {"opaque blue", 225, 210, blue, blue, nullptr},
    {"half white over blue", 275, 210, {128, 128, 255}, {128, 128, 255}, nullptr},
    {"half white over background", 325, 210, {128, 128, 160}, {128, 128, 160}, nullptr},
    {"render target, upper half", 480, 170, orange, orange, nullptr},
    {"render target, lower half", 480, 215, purple, purple, nullptr},
    {"stencil marked", 70, 350, green, green, &stencilReferenceAtOnce},
    {"stencil unmarked", 150, 350, background, background, nullptr},
    {"vertex colours", 500, 350, red, red, nullptr},
    {"lower viewport top", 600, 250, magenta, magenta, nullptr},
    {"lower viewport bottom", 600, 470, magenta, magenta, nullptr},
    {"above lower viewport", 600, 230, background, background, nullptr},
    {"left of viewport quad", 556, 300, background, background, nullptr},
    {"half white added to dark red", 40, 445, {192, 128, 128}, {192, 128, 128}, nullptr},
    {"(0, 128, 255) + grey x (1 - itself)", 90, 445, {128, 192, 255}, {128, 192, 255}, &multiplicativeWithoutSource},
    {"sphere map from the normals", 140, 445, green, green, &sphereMapFromBelow},
    {"red halfway into green fog", 190, 445, {128, 128, 0}, {128, 128, 0}, nullptr},
    {"wireframe edge", 240, 420, yellow, yellow, nullptr},
    {"wireframe inside", 250, 430, background, background, nullptr},
    {"stencil kept by a depth clear", 280, 445, cyan, cyan, nullptr},
    {"unmarked after a depth clear", 300, 445, background, background, nullptr},
    {"far quad after a depth clear", 340, 445, green, green, nullptr},
    {"colour kept by a depth clear", 380, 445, red, red, nullptr},
    {"stencil and depth cleared", 430, 445, green, green, nullptr},
    {"colour cleared", 500, 445, background, background, nullptr},
};

const int sceneCheckCount = sizeof(sceneChecks) / sizeof(sceneChecks[0]);

bool nearRgb(const Rgb& a, const Rgb& b, int tolerance)
{
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
           std::abs(a.b - b.b) <= tolerance;
}

std::string rgbText(const Rgb& c)
{
    return "(" + std::to_string(c.r) + ", " + std::to_string(c.g) + ", " + std::to_string(c.b) + ")";
}
