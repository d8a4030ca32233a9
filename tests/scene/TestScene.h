#ifndef QUORIN_TESTSCENE_H
#define QUORIN_TESTSCENE_H

#include <cstdint>

class Device;
class Texture;
class VertexBuffer;
class IndexBuffer;

// A known scene drawn through the Device operations only, in a 640 x 480
// window; the layout is the one the pixel checks of SceneChecks expect:
// - (20,20)-(120,120): a 2 x 2 picture (red, green / blue, white) by Texture::draw
// - (200,20): a 40 x 20 picture (cyan, magenta / yellow, grey) by Texture::drawAt
// - (300,20)-(400,120): an indexed quad with two texture stages
// - (450,20)-(550,120): a clockwise triangle, culled away
// - (570,20)-(630,120): a green quad over dark red, drawn right after a
//   second stage was set to blend additively and emptied again: plain green
//   when nothing of that stage reaches the next draw
// - y 160-260: a near red and a far green quad under the depth test
//   (x 20-120 and 70-170), an opaque blue quad (x 200-300) under a half
//   transparent white one (x 250-350), and a render-target texture (orange
//   over purple) at (450,160)-(514,224)
// - y 300-400: a stencil mask at x 20-120, a green quad over x 20-170 drawn
//   where the mask is
// - (450,300)-(550,400): an indexed quad of red vertex colours, alpha blended
// - x 560-640: a quad filling the lower half-window viewport (magenta)
// - y 420-470, render states and clearing:
//   x 20-60: the half transparent white blended additively over dark red
//   x 70-110: a (0, 128, 255) quad blended multiplicatively over grey
//   x 120-160: the 2 x 2 picture sphere-mapped: every normal (0.5, 0.5,
//   0.71) generates the coordinates of its top-right texel (green); the
//   vertices' own coordinates point at its bottom-left (blue)
//   x 170-210: a red quad 50 units away under linear green fog from 0 to 100
//   x 220-260: a yellow quad in wireframe, its edges on pixel centres
//   x 270-400: clear with the depth bit alone between a near red quad (x
//   320-400) and a far green one (x 320-360), and between a stencil mark
//   (x 270-290) and a cyan quad drawn where it is (x 270-310)
//   x 410-550: a white quad (x 410-550) marking stencil and the nearest
//   depth (x 410-450) before the frame's clear of all three buffers, then
//   a green quad drawn at x 410-450 where stencil is 0 and depth is nearer
// The background is 0x000040.
class TestScene {
public:
    void create(Device& device);
    void draw(Device& device);
    // Clear and nothing else.
    void drawEmpty(Device& device);

private:
    void drawMesh(Device& device);
    void markBeforeClear(Device& device);
    void drawStates(Device& device);
    void drawAfterSecondStage(Device& device);

    Texture* picture_ = nullptr;
    Texture* strip_ = nullptr;
    Texture* stageA_ = nullptr;
    Texture* stageB_ = nullptr;
    Texture* halfWhite_ = nullptr;
    Texture* target_ = nullptr;
    VertexBuffer* quad_ = nullptr;
    IndexBuffer* quadIndices_ = nullptr;
    VertexBuffer* colouredQuad_ = nullptr;
    VertexBuffer* sphereQuad_ = nullptr;
};

const uint32_t sceneBackground = 0x000040;

#endif
