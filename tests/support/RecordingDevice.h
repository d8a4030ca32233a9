#ifndef QUORIN_RECORDINGDEVICE_H
#define QUORIN_RECORDINGDEVICE_H

#include "Device.h"
#include "IndexBuffer.h"
#include "Matrix4.h"
#include "RenderStateCache.h"
#include "ResourceRegistry.h"
#include "Texture.h"
#include "Vertex.h"
#include "VertexBuffer.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

// One operation the recording device received.
struct DeviceCall {
    const char* name;        // the operation's name, e.g. "setRenderState"
    int argCount;            // number of numeric arguments in args
    double args[8];          // numeric arguments in declaration order
    const void* object;      // the texture, buffer, light or console argument
    Vertex vertices[3];      // drawTriangle's vertices
    float matrix[16];        // loadMatrix's and multMatrix's matrix

    int intArg(int i) const { return static_cast<int>(args[i]); }
    float floatArg(int i) const { return static_cast<float>(args[i]); }
    bool is(const char* operation) const;
};

// Textures and buffers kept in memory, so tests can read what was uploaded.
class RecordingTexture : public Texture {
public:
    RecordingTexture(bool renderTarget, const uint32_t* pixels, int width, int height);
    uint32_t* lock() override;
    void unlock() override;
    const std::vector<uint32_t>& texels() const { return texels_; }
    // Texel at column x, row y of the power-of-two storage.
    uint32_t texel(int x, int y) const;
    int locks() const { return locks_; }
    int unlocks() const { return unlocks_; }

private:
    std::vector<uint32_t> texels_;
    int locks_;
    int unlocks_;
};

class RecordingVertexBuffer : public VertexBuffer {
public:
    RecordingVertexBuffer(bool dynamic, int count);
    Vertex* lock() override;
    void unlock() override;
    const std::vector<Vertex>& vertices() const { return vertices_; }
    int locks() const { return locks_; }
    int unlocks() const { return unlocks_; }

private:
    std::vector<Vertex> vertices_;
    int locks_;
    int unlocks_;
};

class RecordingIndexBuffer : public IndexBuffer {
public:
    RecordingIndexBuffer(bool dynamic, int count);
    uint32_t* lock() override;
    void unlock() override;
    const std::vector<uint32_t>& indices() const { return indices_; }
    int locks() const { return locks_; }
    int unlocks() const { return unlocks_; }

private:
    std::vector<uint32_t> indices_;
    int locks_;
    int unlocks_;
};

// A headless Device for tests. It keeps real registries, a real render-state
// cache and real matrix stacks, holds textures and buffers in memory, and
// logs every operation that changes something (queries such as width,
// matrixMode, textureStage or getRenderState are not logged).
//
// run drives frames the way the back-ends do: cursor, render-state reset,
// onInit (and console graphics), then per frame the held keys through the key
// routing and the frame step (primitives counter 0, beginFrame,
// setRenderTarget(null), setTextureStage(0), onFrame, console draw,
// endFrame), then console release, onShutdown and releaseAllResources. It
// stops after maxFrames frames or at the end of the frame in which
// requestQuit was called or Escape was held (Escape itself is not
// delivered, nor any other key of that turn).
//
// Constructing it makes it the current device. Every operation stays
// virtual, so a Game can derive from it.
class RecordingDevice : public Device {
public:
    RecordingDevice();
    ~RecordingDevice() override;

    // --- Device ---
    int run(int width, int height, bool fullscreen, const std::string& title, bool vsync,
            bool useExtensions) override;
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

    // --- driving run ---
    void setMaxFrames(int frames) { maxFrames_ = frames; }
    void setFrameTime(float seconds) { frameTime_ = seconds; }
    // Keys held from now on, every frame, until changed.
    void setHeldKeys(const std::vector<int>& keys) { heldKeys_ = keys; }
    // Keys held only during the frame with that index (0 = the first frame),
    // in addition to the held keys.
    void holdKeysAt(int frame, const std::vector<int>& keys) { keysAt_[frame] = keys; }
    // Called at the start of every loop turn, before the keys are routed.
    void setBeforeFrame(std::function<void(RecordingDevice&, int frame)> callback)
    {
        beforeFrame_ = callback;
    }
    int framesRun() const { return framesRun_; }
    bool quitRequested() const { return quit_; }
    // The drawing surface's size without run (run sets it too).
    void setSize(int width, int height);
    // Makes the render-state cache usable without run (run resets it too).
    void resetRenderStates();

    // --- the call log ---
    void setRecording(bool on) { recording_ = on; }
    const std::vector<DeviceCall>& calls() const { return calls_; }
    void clearCalls() { calls_.clear(); }
    int count(const char* name) const;
    // The nth call of that name (0 = first), or null.
    const DeviceCall* find(const char* name, int nth = 0) const;
    const DeviceCall* last(const char* name) const;
    std::vector<const DeviceCall*> callsNamed(const char* name) const;
    // The log as text, one call a line (for failure messages).
    std::string dump() const;

    // --- state for assertions ---
    ResourceRegistry& registry() { return registry_; }
    RenderStateCache& renderStates() { return renderStates_; }
    const Matrix4& projection() const { return projection_; }
    const Matrix4& modelView() const { return modelView_; }
    Texture* boundTexture(int stage) const;
    VertexBuffer* boundVertexBuffer() const { return vertexBuffer_; }
    IndexBuffer* boundIndexBuffer() const { return indexBuffer_; }
    Console* console() const { return console_; }
    uint32_t clearColor() const { return clearColor_; }
    const uint8_t* cursorData() const { return cursorData_; }
    const uint8_t* cursorMask() const { return cursorMask_; }
    int cursorHotX() const { return cursorHotX_; }
    int cursorHotY() const { return cursorHotY_; }
    int matrixDepth() const { return static_cast<int>(matrixStack_.size()); }
    // Pops without a push, or made in another mode than their push.
    int matrixErrors() const { return matrixErrors_; }

protected:
    DeviceCall& record(const char* name, std::initializer_list<double> args = {},
                       const void* object = nullptr);
    Matrix4& selectedMatrix();

private:
    void routeKey(int key);
    void stepFrame();

    ResourceRegistry registry_;
    RenderStateCache renderStates_;
    std::vector<DeviceCall> calls_;
    bool recording_;

    int width_;
    int height_;
    bool quit_;
    int maxFrames_;
    float frameTime_;
    int framesRun_;
    std::vector<int> heldKeys_;
    std::map<int, std::vector<int>> keysAt_;
    std::function<void(RecordingDevice&, int)> beforeFrame_;

    int matrixMode_;
    Matrix4 projection_;
    Matrix4 modelView_;
    struct SavedMatrix {
        int mode;
        Matrix4 matrix;
    };
    std::vector<SavedMatrix> matrixStack_;
    int matrixErrors_;

    int stage_;
    Texture* textures_[2];
    VertexBuffer* vertexBuffer_;
    IndexBuffer* indexBuffer_;
    Texture* renderTarget_;
    Console* console_;
    uint32_t clearColor_;
    int primitives_;
    int mouseX_;
    int mouseY_;
    uint8_t cursorData_[128];
    uint8_t cursorMask_[128];
    int cursorHotX_;
    int cursorHotY_;
};

#endif
