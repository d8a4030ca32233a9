#include "TestScene.h"

#include "Device.h"
#include "IndexBuffer.h"
#include "Matrix4.h"
#include "RenderState.h"
#include "Texture.h"
#include "Vertex.h"
#include "VertexBuffer.h"

namespace {

const uint32_t red = 0xFFFF0000u, green = 0xFF00FF00u, blue = 0xFF0000FFu, white = 0xFFFFFFFFu;
const uint32_t cyan = 0xFF00FFFFu, magenta = 0xFFFF00FFu, yellow = 0xFFFFFF00u, grey = 0xFF808080u;

// Window pixels, origin top-left, to clip space; z passes unchanged.
// Row by row, translation in the fourth column.
Matrix4 pixelProjection(Device& device)
{
    Matrix4 m;
    m.setIdentity();
    m.m[0] = 2.0f / device.width();
    m.m[3] = -1.0f;
    m.m[5] = -2.0f / device.height();
    m.m[7] = 1.0f;
    return m;
}

// The same for eye z from 0 down to -1e6 (clip z 1 down to 0), for what
// depends on the distance from the eye: fog and sphere mapping. Far out on
// the axis, the eye looks along -z at every point of the window.
Matrix4 deepPixelProjection(Device& device)
{
    Matrix4 m = pixelProjection(device);
    m.m[10] = 1.0e-6f;
    m.m[11] = 1.0f;
    return m;
}

const float farAway = -1.0e6f;

// Clip-space depths of the depth tests, between 0 and 1 where both
// back-ends keep them: OpenGL's clip volume reaches down to -1, Direct3D's
// stops at 0 (the engine's projections give 0 to 1 in both).
const float nearDepth = 0.25f;
const float farDepth = 0.75f;
const float nearestDepth = 0.1f;

Vertex corner(float x, float y, float z, uint32_t color)
{
    Vertex v = {};
    v.x = x;
    v.y = y;
    v.z = z;
    v.color = color;
    return v;
}

// Two triangles, counter-clockwise on the screen.
void solidQuad(Device& device, float x0, float y0, float x1, float y1, float z, uint32_t rgb)
{
    const Vertex first[3] = {corner(x0, y0, z, rgb), corner(x0, y1, z, rgb), corner(x1, y1, z, rgb)};
    const Vertex second[3] = {corner(x0, y0, z, rgb), corner(x1, y1, z, rgb), corner(x1, y0, z, rgb)};
    device.drawTriangle(first);
    device.drawTriangle(second);
}

void loadPixelSpace(Device& device, bool deep = false)
{
    device.setMatrixMode(0);
    device.loadMatrix(deep ? deepPixelProjection(device) : pixelProjection(device));
    device.setMatrixMode(1);
    device.loadIdentity();
}

} // namespace

void TestScene::create(Device& device)
{
    // Alpha 0 in the picture: textures come out opaque all the same.
    const uint32_t picture[4] = {red & 0x00FFFFFFu, green, blue, white};
    picture_ = device.createTexture(false, picture, 2, 2);

    uint32_t strip[40 * 20];
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 40; ++x)
            strip[y * 40 + x] = y < 10 ? (x < 20 ? cyan : magenta) : (x < 20 ? yellow : grey);
    strip_ = device.createTexture(false, strip, 40, 20);

    const uint32_t stageA[2] = {red, white};   // left, right
    stageA_ = device.createTexture(false, stageA, 2, 1);
    const uint32_t stageB[2] = {white, cyan};  // top, bottom
    stageB_ = device.createTexture(false, stageB, 1, 2);

    halfWhite_ = device.createTexture(false, &white, 1, 1);
    halfWhite_->setAlpha(128, false);
    target_ = device.createTexture(true, nullptr, 64, 64);

    // The first coordinate pair spans the quad upright; the second runs
    // v from 1 on the left to 0 on the right, so stage 1 shows whether it
    // reads the second pair.
    quad_ = device.createVertexBuffer(false, 4);
    Vertex* v = quad_->lock();
    const float xs[4] = {300, 400, 300, 400};
    const float ys[4] = {20, 20, 120, 120};
    for (int i = 0; i < 4; ++i) {
        v[i].x = xs[i];
        v[i].y = ys[i];
        v[i].z = 0.0f;
        v[i].u1 = (i % 2) ? 1.0f : 0.0f;
        v[i].v1 = i < 2 ? 1.0f : 0.0f;
        v[i].u2 = 0.5f;
        v[i].v2 = (i % 2) ? 0.0f : 1.0f;
    }
    quad_->unlock();
    quadIndices_ = device.createIndexBuffer(false, 6);
    uint32_t* index = quadIndices_->lock();
    const uint32_t indices[6] = {0, 2, 3, 0, 3, 1};
    for (int i = 0; i < 6; ++i)
        index[i] = indices[i];
    quadIndices_->unlock();

    // The same quad moved to (450,300)-(550,400), its vertices coloured.
    colouredQuad_ = device.createVertexBuffer(false, 4);
    Vertex* coloured = colouredQuad_->lock();
    for (int i = 0; i < 4; ++i) {
        coloured[i] = v[i];
        coloured[i].x += 150.0f;
        coloured[i].y += 280.0f;
        coloured[i].color = red;
    }
    colouredQuad_->unlock();

    // (120,420)-(160,470), far out, every normal (0.5, 0.5, 0.71): a sphere
    // map reads the texel at (0.75, 0.75) from the top-left, the vertices'
    // own coordinates the one at (0.25, 0.25) from the bottom-left.
    sphereQuad_ = device.createVertexBuffer(false, 4);
    Vertex* sphere = sphereQuad_->lock();
    for (int i = 0; i < 4; ++i) {
        sphere[i] = Vertex{};
        sphere[i].x = (i % 2) ? 160.0f : 120.0f;
        sphere[i].y = i < 2 ? 420.0f : 470.0f;
        sphere[i].z = farAway;
        sphere[i].nx = 0.5f;
        sphere[i].ny = 0.5f;
        sphere[i].nz = 0.70710678f;
        sphere[i].color = white;
        sphere[i].u1 = sphere[i].u2 = 0.25f;
        sphere[i].v1 = sphere[i].v2 = 0.25f;
    }
    sphereQuad_->unlock();
}

void TestScene::drawMesh(Device& device)
{
    // As a two-stage mesh part is drawn: texture mode, blend mode and
    // texture per stage, the indexed draw, then both stages emptied.
    device.pushRenderStates();
    device.setVertexBuffer(quad_);
    device.setIndexBuffer(quadIndices_);
    device.setTextureStage(0);
    device.setRenderState(RenderStateType::textureMode, RenderStateValue::textureWrap);
    device.setRenderState(RenderStateType::blendMode, RenderStateValue::blendOff);
    device.setTexture(stageA_);
    device.setTextureStage(1);
    device.setRenderState(RenderStateType::textureMode, RenderStateValue::textureWrap);
    device.setRenderState(RenderStateType::blendMode, RenderStateValue::blendModulate);
    device.setTexture(stageB_);
    device.drawIndexed(0, 4, 0, 6);
    for (int stage = 0; stage < 2; ++stage) {
        device.setTextureStage(stage);
        device.setTexture(nullptr);
    }
    device.setTextureStage(0);
    device.popRenderStates();
}

void TestScene::draw(Device& device)
{
    // Render target first: orange over purple in its 64 x 64 viewport, which
    // becomes the texture's picture when the target changes back.
    device.setRenderTarget(target_);
    device.setMatrixMode(0);
    device.loadIdentity();
    device.setMatrixMode(1);
    device.loadIdentity();
    device.setRenderState(RenderStateType::depthTest, RenderStateValue::depthOff);
    device.setRenderState(RenderStateType::cullMode, RenderStateValue::cullNone);
    device.setTexture(nullptr);
    solidQuad(device, -1, 0, 1, 1, 0, 0xFF8000);
    solidQuad(device, -1, -1, 1, 0, 0, 0x8000FF);
    device.setRenderTarget(nullptr);

    markBeforeClear(device);
    device.setClearColor(sceneBackground);
    device.clear(ClearFlags::color | ClearFlags::depth | ClearFlags::stencil);
    loadPixelSpace(device);

    // Mesh and culling under the default cull mode (clockwise removed).
    device.setRenderState(RenderStateType::cullMode, RenderStateValue::cullClockwise);
    drawMesh(device);
    device.setTexture(nullptr);
    const Vertex clockwise[3] = {corner(450, 20, 0, 0xFFFFFF), corner(550, 20, 0, 0xFFFFFF),
                                 corner(450, 120, 0, 0xFFFFFF)};
    device.drawTriangle(clockwise);
    device.setRenderState(RenderStateType::cullMode, RenderStateValue::cullNone);
    drawAfterSecondStage(device);

    // Vertex colours from a buffer (they reach OpenGL as the array colours
    // when blending is on).
    device.pushRenderStates();
    device.setVertexBuffer(colouredQuad_);
    device.setIndexBuffer(quadIndices_);
    device.setRenderState(RenderStateType::blendMode, RenderStateValue::blendAlpha);
    device.setTexture(nullptr);
    device.drawIndexed(0, 4, 0, 6);
    device.popRenderStates();

    // Depth: the far quad drawn second stays behind the near one.
    device.setRenderState(RenderStateType::depthTest, RenderStateValue::depthLess);
    solidQuad(device, 20, 160, 120, 260, nearDepth, 0xFF0000);
    solidQuad(device, 70, 160, 170, 260, farDepth, 0x00FF00);
    device.setRenderState(RenderStateType::depthTest, RenderStateValue::depthOff);

    // Alpha blending of a texture with alpha 128.
    solidQuad(device, 200, 160, 300, 260, 0, 0x0000FF);
    device.setRenderState(RenderStateType::blendMode, RenderStateValue::blendAlpha);
    halfWhite_->draw(250, 160, 350, 260, 0.0f, 0.0f, 1.0f, 1.0f);
    device.setRenderState(RenderStateType::blendMode, RenderStateValue::blendOff);
    target_->draw(450, 160, 514, 224, 0.0f, 0.0f, 1.0f, 1.0f);

    // Stencil: mark x 20-120 with 1, then draw only where the mark is. The
    // reference set after the test is switched on waits for the next set.
    device.setTexture(nullptr);
    device.setStencilRef(1);
    device.setStencilMask(0xFF);
    device.setStencilOp(StencilOp::keep, StencilOp::keep, StencilOp::replace);
    device.setRenderState(RenderStateType::stencilTest, RenderStateValue::stencilAlways);
    solidQuad(device, 20, 300, 120, 400, 0, 0xFFFF00);
    device.setStencilOp(StencilOp::keep, StencilOp::keep, StencilOp::keep);
    device.setRenderState(RenderStateType::stencilTest, RenderStateValue::stencilEqual);
    device.setStencilRef(2);
    solidQuad(device, 20, 300, 170, 400, 0, 0x00FF00);
    device.setRenderState(RenderStateType::stencilTest, RenderStateValue::stencilOff);

    // Pictures through the texture's own drawing.
    picture_->draw(20, 20, 120, 120, 0.0f, 0.0f, 1.0f, 1.0f);
    strip_->drawAt(200, 20);

    // Lower half-window viewport: clip x from 0.75 to 1 fills x 560-640 of it.
    device.setViewport(0, device.height() / 2, device.width(), device.height() / 2);
    device.setMatrixMode(0);
    device.loadIdentity();
    device.setMatrixMode(1);
    device.loadIdentity();
    device.setTexture(nullptr);
    solidQuad(device, 0.75f, -1, 1, 1, 0, 0xFF00FF);
    device.setViewport(0, 0, device.width(), device.height());

    drawStates(device);
}

void TestScene::drawAfterSecondStage(Device& device)
{
    // A second stage blends additively for a moment, then goes back to
    // modulating and is emptied; the green quad that follows on stage 0
    // must not be added to the dark red under it. The render states are
    // popped only after it, so nothing but the stage's own bookkeeping
    // stands between the two.
    device.setTexture(nullptr);
    solidQuad(device, 570, 20, 630, 120, 0, 0x400000);
    device.pushRenderStates();
    device.setRenderState(RenderStateType::blendMode, RenderStateValue::blendOff);
    device.setTextureStage(1);
    device.setRenderState(RenderStateType::blendMode, RenderStateValue::blendAdditive);
    device.setTexture(halfWhite_);
    device.setRenderState(RenderStateType::blendMode, RenderStateValue::blendModulate);
    device.setTexture(nullptr);
    device.setTextureStage(0);
    device.setTexture(nullptr);
    solidQuad(device, 570, 20, 630, 120, 0, 0x00FF00);
    device.popRenderStates();
}

void TestScene::markBeforeClear(Device& device)
{
    // Colour over x 410-550, stencil 1 and the nearest depth over x 410-450:
    // all three are gone once the frame's clear has run.
    loadPixelSpace(device);
    device.setTexture(nullptr);
    solidQuad(device, 410, 420, 550, 470, 0, 0xFFFFFF);
    device.setStencilRef(1);
    device.setStencilMask(0xFF);
    device.setStencilOp(StencilOp::keep, StencilOp::keep, StencilOp::replace);
    device.setRenderState(RenderStateType::stencilTest, RenderStateValue::stencilAlways);
    device.setRenderState(RenderStateType::depthTest, RenderStateValue::depthAlways);
    solidQuad(device, 410, 420, 450, 470, nearestDepth, 0xFFFFFF);
    device.setRenderState(RenderStateType::depthTest, RenderStateValue::depthOff);
    device.setRenderState(RenderStateType::stencilTest, RenderStateValue::stencilOff);
}

void TestScene::drawStates(Device& device)
{
    device.pushRenderStates();
    loadPixelSpace(device);
    device.setTexture(nullptr);

    // Additive: source x source alpha + destination.
    solidQuad(device, 20, 420, 60, 470, 0, 0x400000);
    device.setRenderState(RenderStateType::blendMode, RenderStateValue::blendAdditive);
    halfWhite_->draw(20, 420, 60, 470, 0.0f, 0.0f, 1.0f, 1.0f);
    device.setRenderState(RenderStateType::blendMode, RenderStateValue::blendOff);
    device.setTexture(nullptr);

    // Multiplicative.
    solidQuad(device, 70, 420, 110, 470, 0, 0x808080);
    device.setRenderState(RenderStateType::blendMode, RenderStateValue::blendMultiplicative);
    solidQuad(device, 70, 420, 110, 470, 0, 0x0080FF);
    device.setRenderState(RenderStateType::blendMode, RenderStateValue::blendOff);

    // Sphere map and fog, far enough out for the eye to look straight at them.
    loadPixelSpace(device, true);
    device.setVertexBuffer(sphereQuad_);
    device.setIndexBuffer(quadIndices_);
    device.setRenderState(RenderStateType::textureMode, RenderStateValue::textureSphereMap);
    device.setTexture(picture_);
    device.drawIndexed(0, 4, 0, 6);
    device.setRenderState(RenderStateType::textureMode, RenderStateValue::textureWrap);
    device.setTexture(nullptr);

    device.setFogStart(0.0f);
    device.setFogEnd(100.0f);
    device.setFogColor(0.0f, 1.0f, 0.0f);
    device.setRenderState(RenderStateType::fogMode, RenderStateValue::fogLinear);
    solidQuad(device, 170, 420, 210, 470, -50.0f, 0xFF0000);
    device.setRenderState(RenderStateType::fogMode, RenderStateValue::fogOff);
    loadPixelSpace(device);

    // Wireframe, the edges through pixel centres.
    device.setRenderState(RenderStateType::fillMode, RenderStateValue::fillWireframe);
    solidQuad(device, 220.5f, 420.5f, 260.5f, 470.5f, 0, 0xFFFF00);
    device.setRenderState(RenderStateType::fillMode, RenderStateValue::fillSolid);

    // Where markBeforeClear left stencil 1 and the nearest depth: drawn
    // only when the frame's clear reset both.
    device.setStencilRef(0);
    device.setRenderState(RenderStateType::stencilTest, RenderStateValue::stencilEqual);
    device.setRenderState(RenderStateType::depthTest, RenderStateValue::depthLess);
    solidQuad(device, 410, 420, 450, 470, farDepth, 0x00FF00);
    device.setRenderState(RenderStateType::depthTest, RenderStateValue::depthOff);
    device.setRenderState(RenderStateType::stencilTest, RenderStateValue::stencilOff);

    // Clearing the depth alone keeps colour and stencil.
    device.setStencilRef(1);
    device.setStencilMask(0xFF);
    device.setStencilOp(StencilOp::keep, StencilOp::keep, StencilOp::replace);
    device.setRenderState(RenderStateType::stencilTest, RenderStateValue::stencilAlways);
    solidQuad(device, 270, 420, 290, 470, 0, 0xFFFF00);
    device.setRenderState(RenderStateType::stencilTest, RenderStateValue::stencilOff);
    device.setRenderState(RenderStateType::depthTest, RenderStateValue::depthLess);
    solidQuad(device, 320, 420, 400, 470, nearDepth, 0xFF0000);
    device.clear(ClearFlags::depth);
    solidQuad(device, 320, 420, 360, 470, farDepth, 0x00FF00);
    device.setRenderState(RenderStateType::depthTest, RenderStateValue::depthOff);
    device.setStencilOp(StencilOp::keep, StencilOp::keep, StencilOp::keep);
    device.setRenderState(RenderStateType::stencilTest, RenderStateValue::stencilEqual);
    solidQuad(device, 270, 420, 310, 470, 0, 0x00FFFF);
    device.setRenderState(RenderStateType::stencilTest, RenderStateValue::stencilOff);

    device.popRenderStates();
}

void TestScene::drawEmpty(Device& device)
{
    device.setClearColor(sceneBackground);
    device.clear(ClearFlags::color | ClearFlags::depth | ClearFlags::stencil);
}
