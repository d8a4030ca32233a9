#ifndef QUORIN_DEVICE_H
#define QUORIN_DEVICE_H

#include <cstdint>
#include <string>
#include <vector>

class Texture;
class VertexBuffer;
class IndexBuffer;
class Light;
class Console;
class Matrix4;
struct Vertex;

// Bits taken by Device::clear.
struct ClearFlags {
    enum : int {
        color = 2,
        depth = 4,
        stencil = 16
    };
};

// Operation numbers of Device::setStencilOp (same number space as the
// render-state values).
struct StencilOp {
    enum : int {
        keep = 16,
        zero = 17,
        replace = 18,
        increment = 19,
        decrement = 20,
        invert = 21
    };
};

// Engine key numbers delivered to Device::onKey. Several keys share a number
// (keypad 1 and keypad minus, digit 8 and arrow up, ...): receivers only see
// the number.
struct Key {
    enum : int {
        mouseLeft = 254,
        mouseRight = 255,
        backspace = 8,
        tab = 9,
        enter = 13,
        escape = 0x5E5B,
        space = 32,
        digit0 = 48, digit1, digit2, digit3, digit4,
        digit5, digit6, digit7, digit8, digit9,
        letterA = 97, letterB, letterC, letterD, letterE, letterF, letterG,
        letterH, letterI, letterJ, letterK, letterL, letterM, letterN,
        letterO, letterP, letterQ, letterR, letterS, letterT, letterU,
        letterV, letterW, letterX, letterY, letterZ,
        deleteKey = 0x5E3F,
        padDivide = 47,
        padMultiply = 42,
        padMinus = 45,
        padPlus = 43,
        pad0 = 44, pad1, pad2, pad3, pad4, pad5, pad6, pad7, pad8, pad9,
        clear = 54,
        pause = 55,
        up = 56,
        down = 57,
        right = 58,
        left = 59,
        insert = 60,
        home = 61,
        end = 62,
        f1 = 63, f2, f3, f4, f5, f6, f7, f8, f9, f10, f11, f12, f13, f14, f15,
        rightShift = 78,
        leftShift = 79,
        rightControl = 80,
        leftControl = 81,
        help = 83,
        print = 84,
        menu = 85
    };
};

struct DisplayMode {
    int width;
    int height;
};

// What Device::getDisplayInfo reports about the graphics system.
struct DisplayInfo {
    std::string apiName;
    std::string vendor;
    std::string renderer;
    std::string version;
    std::string extensions;
    bool extensionsAvailable = false;
    std::vector<DisplayMode> displayModes;
};

// The platform and renderer the engine and the game are written against.
// One implementation per back-end; the game's Game class derives from the
// back-end of its build. The operations are declared in their fixed slot
// order: keep it.
class Device {
public:
    virtual int run(int width, int height, bool fullscreen, const std::string& title,
                    bool vsync, bool useExtensions) = 0;
    virtual void onInit() = 0;
    virtual void onFrame(float elapsedSeconds) = 0;
    virtual void onKey(int key) = 0;
    virtual void forgetLight(Light* light) = 0;
    virtual void forgetTexture(Texture* texture) = 0;
    virtual void forgetVertexBuffer(VertexBuffer* buffer) = 0;
    virtual void forgetIndexBuffer(IndexBuffer* buffer) = 0;
    virtual void onShutdown() = 0;
    virtual void requestQuit() = 0;
    virtual int width() = 0;
    virtual int height() = 0;
    virtual void getDisplayInfo(DisplayInfo& out) = 0;
    virtual IndexBuffer* createIndexBuffer(bool dynamic, int count) = 0;
    virtual VertexBuffer* createVertexBuffer(bool dynamic, int count) = 0;
    virtual Texture* createTexture(bool renderTarget, const uint32_t* pixels, int width, int height) = 0;
    virtual Light* createLight() = 0;
    virtual void releaseAllResources() = 0;
    virtual void setConsole(Console* console) = 0;
    virtual void setMousePosition(int x, int y) = 0;
    virtual void getMousePosition(int* x, int* y) = 0;
    virtual void setCursor(const uint8_t* data, const uint8_t* mask, int hotX, int hotY) = 0;
    virtual void setViewport(int x, int y, int width, int height) = 0;
    virtual void setMatrixMode(int mode) = 0;
    virtual int matrixMode() = 0;
    virtual void getMatrix(Matrix4& out) = 0;
    virtual void pushMatrix() = 0;
    virtual void popMatrix() = 0;
    virtual void loadIdentity() = 0;
    virtual void loadMatrix(const Matrix4& m) = 0;
    virtual void rotate(float angleDegrees, float x, float y, float z) = 0;
    virtual void translate(float x, float y, float z) = 0;
    virtual void scale(float x, float y, float z) = 0;
    virtual void multMatrix(const Matrix4& m) = 0;
    virtual int fps() = 0;
    virtual int primitivesDrawn() = 0;
    virtual void setClearColor(uint32_t rgb) = 0;
    virtual void clear(int flags) = 0;
    virtual void drawTriangle(const Vertex v[3]) = 0;
    virtual void drawIndexed(int minVertex, int vertexCount, int startIndex, int indexCount) = 0;
    virtual void drawStrip(int firstVertex, int count) = 0;
    virtual void setRenderTarget(Texture* target) = 0;
    virtual void setVertexBuffer(VertexBuffer* buffer) = 0;
    virtual void setIndexBuffer(IndexBuffer* buffer) = 0;
    virtual int textureStage() = 0;
    virtual void setTextureStage(int stage) = 0;
    virtual void setTexture(Texture* texture) = 0;
    virtual void setStencilRef(int ref) = 0;
    virtual void setStencilMask(uint32_t mask) = 0;
    virtual void setStencilOp(int fail, int depthFail, int pass) = 0;
    virtual void setStencilWriteMask(uint32_t mask) = 0;
    virtual void setFogStart(float start) = 0;
    virtual void setFogEnd(float end) = 0;
    virtual void setFogDensity(float density) = 0;
    virtual void setFogColor(float r, float g, float b) = 0;
    virtual void setAmbient(float r, float g, float b) = 0;
    virtual void setLight(Light* light, bool enable) = 0;
    virtual void setRenderState(int type, int value) = 0;
    virtual int getRenderState(int type) = 0;
    virtual void pushRenderStates() = 0;
    virtual void popRenderStates() = 0;
    virtual void beginFrame() = 0;
    virtual void endFrame() = 0;

    // Declared after the operations so that it takes no slot among them.
    // A device that is destroyed while current stops being current.
    virtual ~Device();

    static Device* instance();
    static void setInstance(Device* device);
};

#endif
