#ifndef QUORIN_D3DDEVICE_H
#define QUORIN_D3DDEVICE_H

#include "D3dHost.h"
#include "Device.h"
#include "Matrix4.h"
#include "RenderStateCache.h"
#include "ResourceRegistry.h"

#include <cstdint>
#include <string>
#include <vector>

// The device of racer_d3d: Direct3D 9 in a Win32 window, run by the
// application framework host (D3dHost). The host's hooks drive the engine:
// device creation ends in onInit, each frame polls the keys and ends in
// onFrame, device deletion ends in onShutdown and releaseAllResources. The
// game derives from it and overrides the four hooks.
//
// Closing is synchronous: Escape and requestQuit close the window inside
// the call, so onShutdown and the release of every resource have run when
// it returns.
class D3dDevice : public Device, public D3dHost {
public:
    D3dDevice();

    // Answers 0 once the window has closed normally; 1 when Direct3D, the
    // window or the device cannot be had (shown in a message box; onInit is
    // then never called) or when a lost device cannot be reset, or its
    // objects made again, or a frame fails (shown in a message box too).
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
    // The size given to run, also after the window was resized.
    int width() override;
    int height() override;
    void getDisplayInfo(DisplayInfo& out) override;
    IndexBuffer* createIndexBuffer(bool dynamic, int count) override;
    VertexBuffer* createVertexBuffer(bool dynamic, int count) override;
    Texture* createTexture(bool renderTarget, const uint32_t* pixels, int width, int height) override;
    Light* createLight() override;
    void releaseAllResources() override;
    // Graphics are made only when the device objects are created: set the
    // console before run.
    void setConsole(Console* console) override;
    void setMousePosition(int x, int y) override;
    void getMousePosition(int* x, int* y) override;
    // Takes effect at the next run (the window class carries the cursor).
    void setCursor(const uint8_t* data, const uint8_t* mask, int hotX, int hotY) override;
    void setViewport(int x, int y, int width, int height) override;
    void setMatrixMode(int mode) override;
    int matrixMode() override;
    void getMatrix(Matrix4& out) override;
    // One stack serves both matrix modes. A pop with an empty stack changes
    // nothing.
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
    // count is a number of vertices, as in racer_gl.
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

    ~D3dDevice() override;

    // Framework hooks.
    // Refuses a pure device (its state cannot be read back).
    HRESULT confirmDevice(const D3DCAPS9& caps, DWORD behavior, D3DFORMAT format) override;
    HRESULT oneTimeSceneInit() override;
    HRESULT initDeviceObjects() override;
    // Around a reset of a lost device: invalidate saves the device states
    // the game set and relies on, unbinds everything and releases the
    // screen surface and every default-pool object (render-target
    // textures, dynamic vertex and index buffers, the triangle buffers
    // among them); restore makes them again (dynamic buffers refilled from
    // their copies in memory), takes the screen surface again and puts
    // back the render-state cache's table, the saved states (render
    // states, texture stages and samplers, transforms, material, lights,
    // viewport), the bound textures and buffers and the render target. The
    // game's own objects stay the same: it sees nothing of the reset. An
    // object Direct3D refuses to make again fails the restore, named for
    // the host's message box.
    HRESULT invalidateDeviceObjects() override;
    HRESULT restoreDeviceObjects() override;
    HRESULT frameMove() override;
    HRESULT render() override;
    HRESULT deleteDeviceObjects() override;
    LRESULT msgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

    // Delivers the held keys of the key map (GetAsyncKeyState); Escape
    // closes the window. Nothing while another window is in front.
    void pollKeys();

    IDirect3DDevice9* d3dDevice() const { return direct3dDevice(); }

    // The current device when it is a D3dDevice (null otherwise).
    static D3dDevice* current();

    const ResourceRegistry& resources() const { return resources_; }

private:
    class HeldKeyReceiver;
    static const int stageCount = 8;

    // The device states that Reset sets back to Direct3D's defaults, as
    // the game had them: every state this device sets.
    struct SavedStates {
        DWORD renderStates[32];
        DWORD stageStates[stageCount][8];
        DWORD samplerStates[stageCount][5];
        D3DMATRIX transforms[3 + stageCount];
        D3DMATERIAL9 material;
        D3DVIEWPORT9 viewport;
        DWORD vertexFormat;
        // Every light that had been set, with its index and its switch.
        struct SavedLight {
            DWORD index;
            D3DLIGHT9 light;
            BOOL enabled;
        };
        std::vector<SavedLight> lights;
        // This device's record of each stage's texture transform, which
        // goes with the stage states above.
        bool flipped[stageCount];
        bool sphereMapped[stageCount];
    };

    void saveStates();
    void restoreStates();
    Matrix4& selectedMatrix();
    void sendSelectedMatrix();
    void restoreTextureTransform(int stage);

    int width_;
    int height_;
    ResourceRegistry resources_;
    Console* console_;
    Matrix4 modelview_;
    Matrix4 projection_;
    int matrixMode_;
    std::vector<Matrix4> matrixStack_;
    int primitivesDrawn_;
    VertexBuffer* triangleVertices_;
    IndexBuffer* triangleIndices_;
    bool sceneOpen_;
    uint32_t clearColor_;
    RenderStateCache renderStates_;
    int textureStage_;
    IDirect3DSurface9* screenSurface_;
    // The render target set last (null: the screen) and the texture of
    // each stage, put back after a reset.
    Texture* renderTarget_;
    Texture* stageTextures_[stageCount];
    // The default-pool objects are released (a reset is under way).
    bool invalidated_;
    SavedStates saved_;

    VertexBuffer* boundVertexBuffer_;
    IndexBuffer* boundIndexBuffer_;
    // Per texture stage: the render-target flip is set, and the texture
    // mode is sphere mapping (whose transform the flip replaced).
    bool flipped_[stageCount];
    bool sphereMapped_[stageCount];
    std::string title_;
};

#endif
