#ifndef QUORIN_RENDERSTATE_H
#define QUORIN_RENDERSTATE_H

// Which state Device::setRenderState sets. Type 2 is unused.
struct RenderStateType {
    enum : int {
        depthTest = 0,
        stencilTest = 1,
        cullMode = 3,
        blendMode = 4,     // acts on the current texture stage
        textureMode = 5,   // acts on the current texture stage
        fillMode = 6,
        fogMode = 7
    };
};

// The values of every render state, one number space for all of them.
struct RenderStateValue {
    enum : int {
        depthOff = 0,
        depthLess = 1,
        depthLessEqual = 2,
        depthEqual = 3,
        depthGreaterEqual = 4,
        depthGreater = 5,
        depthNotEqual = 6,
        depthAlways = 7,
        stencilOff = 8,
        stencilLess = 9,
        stencilLessEqual = 10,
        stencilEqual = 11,
        stencilGreaterEqual = 12,
        stencilGreater = 13,
        stencilNotEqual = 14,
        stencilAlways = 15,
        // 16-21 are the StencilOp numbers (Device.h)
        cullNone = 22,
        cullClockwise = 23,
        cullCounterClockwise = 24,
        blendOff = 25,
        blendAdditive = 26,
        blendMultiplicative = 27,
        blendAlpha = 28,
        blendModulate = 29,
        // 30 is unused
        textureClamp = 31,
        textureWrap = 32,
        textureSphereMap = 33,
        fillSolid = 34,
        fillWireframe = 35,
        fogOff = 36,
        fogLinear = 37,
        fogExp = 38,
        fogExp2 = 39,
        unset = 40
    };
};

#endif
