#ifndef QUORIN_GLDEVICE_H
#define QUORIN_GLDEVICE_H

#include "Device.h"
#include "FrameClock.h"
#include "RenderStateCache.h"
#include "ResourceRegistry.h"

#include <cstdint>
#include <string>

struct SDL_Cursor;
class GlVertexBuffer;
class GlIndexBuffer;

// The device of racer_gl: OpenGL 1.1 in a window opened through SDL 1.2,
// with the multitexture and vertex-buffer-object extensions (loaded through
// GLEW) and the swap interval when the driver has them all. It owns the
// program's only loop: run opens the window, calls onInit, then polls input
// and steps frames until quit, then calls onShutdown and releases every
// resource. The game derives from it and overrides the four hooks.
class GlDevice : public Device {
public:
    GlDevice();

    // Answers 0 once the window has closed normally; 1, with a message on
    // stderr, when SDL, the video mode or the OpenGL context cannot be had
    // (onInit is then never called).
    int run(int width, int height, bool fullscreen, const std::string& title,
            bool vsync, bool useExtensions) override;
    void onInit() override;
    void onFrame(float elapsedSeconds) override;
    void onKey(int key) override;
    void forgetLight(Light* light) override;
    void forgetTexture(Texture* texture) override;
    void forgetVertexBuffer(VertexBuffer* buffer) override;
    void forgetIndexBuffer(IndexBuffer* buffer) override;
    void onShutdown() override;
    void requestQuit() override;
    int width() override;
    int height() override;
    void getDisplayInfo(DisplayInfo& out) override;
    IndexBuffer* createIndexBuffer(bool dynamic, int count) override;
    VertexBuffer* createVertexBuffer(bool dynamic, int count) override;
    Texture* createTexture(bool renderTarget, const uint32_t* pixels, int width, int height) override;
    Light* createLight() override;
    void releaseAllResources() override;
    void setConsole(Console* console) override;
    void setMousePosition(int x, int y) override;
    void getMousePosition(int* x, int* y) override;
    void setCursor(const uint8_t* data, const uint8_t* mask, int hotX, int hotY) override;
    void setViewport(int x, int y, int width, int height) override;
    void setMatrixMode(int mode) override;
    int matrixMode() override;
    void getMatrix(Matrix4& out) override;
    void pushMatrix() override;
    void popMatrix() override;
    void loadIdentity() override;
    void loadMatrix(const Matrix4& m) override;
    void rotate(float angleDegrees, float x, float y, float z) override;
    void translate(float x, float y, float z) override;
    void scale(float x, float y, float z) override;
    void multMatrix(const Matrix4& m) override;
    int fps() override;
    int primitivesDrawn() override;
    void setClearColor(uint32_t rgb) override;
    void clear(int flags) override;
    void drawTriangle(const Vertex v[3]) override;
    void drawIndexed(int minVertex, int vertexCount, int startIndex, int indexCount) override;
    // count is a number of vertices.
    void drawStrip(int firstVertex, int count) override;
    void setRenderTarget(Texture* target) override;
    void setVertexBuffer(VertexBuffer* buffer) override;
    void setIndexBuffer(IndexBuffer* buffer) override;
    int textureStage() override;
    void setTextureStage(int stage) override;
    void setTexture(Texture* texture) override;
    void setStencilRef(int ref) override;
    void setStencilMask(uint32_t mask) override;
    void setStencilOp(int fail, int depthFail, int pass) override;
    void setStencilWriteMask(uint32_t mask) override;
    void setFogStart(float start) override;
    void setFogEnd(float end) override;
    void setFogDensity(float density) override;
    void setFogColor(float r, float g, float b) override;
    void setAmbient(float r, float g, float b) override;
    void setLight(Light* light, bool enable) override;
    void setRenderState(int type, int value) override;
    int getRenderState(int type) override;
    void pushRenderStates() override;
    void popRenderStates() override;
    void beginFrame() override;
    void endFrame() override;

    ~GlDevice() override;

    // One loop turn is pollEvents, then stepFrame.
    void pollEvents();
    void pollKeys();
    void stepFrame();

    // The extension switch. GLEW is initialised once, the first time one of
    // these runs with an OpenGL context.
    void initExtensions();
    bool useExtensions();
    // All eight entry points present: the ARB buffer-object and multitexture
    // ones and a swap interval.
    bool extensionsCapable();
    // Can only switch them on when the driver is capable.
    void setUseExtensions(bool on);

    // The current device when it is a GlDevice (null otherwise).
    static GlDevice* current();
    // An OpenGL context exists (the SDL video mode is an OpenGL one), so GL
    // objects can be deleted.
    static bool contextAlive();

    const ResourceRegistry& resources() const { return resources_; }

protected:
    // The frame clock's source: SDL's millisecond tick count.
    virtual uint32_t ticks();

private:
    // The current stage is above 0 while OpenGL has only one unit (no
    // multitexture): texture calls for that stage are not carried out.
    bool singleUnitElsewhere() const;
    class HeldKeyReceiver;
    bool ensureExtensions();

    bool quit_;
    int width_;
    int height_;
    bool extensionsInitialised_;
    bool extensionsCapable_;
    bool extensionsInUse_;
    ResourceRegistry resources_;
    Console* console_;
    int mouseX_;
    int mouseY_;
    int matrixMode_;
    FrameClock clock_;
    int primitivesDrawn_;
    Texture* renderTarget_;
    uint32_t clearColor_;
    RenderStateCache renderStates_;
    int textureStage_;
    int stencilRef_;
    uint32_t stencilMask_;
    const unsigned char* vertexArrayBase_;
    const unsigned char* indexArrayBase_;
    VertexBuffer* boundVertexBuffer_;
    IndexBuffer* boundIndexBuffer_;
    SDL_Cursor* cursor_;
    int maxLights_;
    bool bgraColorArrays_;
};

#endif
