#include "D3dDevice.h"

#include "Console.h"
#include "CursorPicture.h"
#include "D3dDisplayInfo.h"
#include "D3dIndexBuffer.h"
#include "D3dInput.h"
#include "D3dTexture.h"
#include "D3dVertexBuffer.h"
#include "Light.h"
#include "RenderState.h"
#include "Vertex.h"

#include <commctrl.h>

#include <cstdio>
#include <cstring>

namespace {

// Matrix4 is row by row with the translation in the fourth column; Direct3D
// multiplies row vectors on the left, so its matrices are the transpose.
D3DMATRIX toD3dMatrix(const Matrix4& source)
{
    D3DMATRIX result;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            result.m[r][c] = source.m[4 * c + r];
    return result;
}

Matrix4 fromD3dMatrix(const D3DMATRIX& source)
{
    Matrix4 result;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            result.m[4 * r + c] = source.m[c][r];
    return result;
}

D3DMATRIX identityMatrix()
{
    const Matrix4 identity;
    return toD3dMatrix(identity);
}

// Depth and stencil compare functions of values 1-7 and 9-15.
const D3DCMPFUNC compareFunctions[] = {D3DCMP_LESS, D3DCMP_LESSEQUAL, D3DCMP_EQUAL,
                                       D3DCMP_GREATEREQUAL, D3DCMP_GREATER, D3DCMP_NOTEQUAL,
                                       D3DCMP_ALWAYS};

DWORD stencilOperation(int op)
{
    switch (op) {
    case StencilOp::zero: return D3DSTENCILOP_ZERO;
    case StencilOp::replace: return D3DSTENCILOP_REPLACE;
    case StencilOp::increment: return D3DSTENCILOP_INCR;
    case StencilOp::decrement: return D3DSTENCILOP_DECR;
    case StencilOp::invert: return D3DSTENCILOP_INVERT;
    default: return D3DSTENCILOP_KEEP;
    }
}

// 0xFFRRGGBB from channels of 0 to 1 (values outside are clamped).
D3DCOLOR colorWord(float r, float g, float b)
{
    auto channel = [](float value) {
        if (!(value > 0.0f))
            return 0u;
        if (value >= 1.0f)
            return 255u;
        return static_cast<unsigned>(value * 255.0f);
    };
    return 0xFF000000u | (channel(r) << 16) | (channel(g) << 8) | channel(b);
}

DWORD floatBits(float value)
{
    DWORD bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

D3DTRANSFORMSTATETYPE textureTransform(int stage)
{
    return static_cast<D3DTRANSFORMSTATETYPE>(D3DTS_TEXTURE0 + stage);
}

// u = 0.5 nx + 0.5, v = 0.5 - 0.5 ny from the camera-space normal.
D3DMATRIX sphereMapMatrix()
{
    D3DMATRIX m = {};
    m._11 = 0.5f;
    m._22 = -0.5f;
    m._33 = 1.0f;
    m._41 = 0.5f;
    m._42 = 0.5f;
    m._44 = 1.0f;
    return m;
}

// v becomes -v: render targets hold their picture top row first.
D3DMATRIX flipMatrix()
{
    D3DMATRIX m = identityMatrix();
    m._22 = -1.0f;
    return m;
}

// Every render state this device sets, on its own or for a render state of
// the engine: what a reset takes back to Direct3D's defaults.
const D3DRENDERSTATETYPE savedRenderStates[] = {
    D3DRS_ZENABLE, D3DRS_ZFUNC, D3DRS_FILLMODE, D3DRS_CULLMODE, D3DRS_ALPHABLENDENABLE, D3DRS_SRCBLEND,
    D3DRS_DESTBLEND, D3DRS_DITHERENABLE, D3DRS_SPECULARENABLE, D3DRS_FOGENABLE, D3DRS_FOGCOLOR,
    D3DRS_FOGSTART, D3DRS_FOGEND, D3DRS_FOGDENSITY, D3DRS_FOGVERTEXMODE, D3DRS_STENCILENABLE,
    D3DRS_STENCILFAIL, D3DRS_STENCILZFAIL, D3DRS_STENCILPASS, D3DRS_STENCILFUNC, D3DRS_STENCILREF,
    D3DRS_STENCILMASK, D3DRS_STENCILWRITEMASK, D3DRS_LIGHTING, D3DRS_AMBIENT, D3DRS_NORMALIZENORMALS,
};
const D3DTEXTURESTAGESTATETYPE savedStageStates[] = {
    D3DTSS_COLOROP, D3DTSS_COLORARG1, D3DTSS_COLORARG2, D3DTSS_ALPHAOP,
    D3DTSS_ALPHAARG1, D3DTSS_ALPHAARG2, D3DTSS_TEXCOORDINDEX, D3DTSS_TEXTURETRANSFORMFLAGS,
};
const D3DSAMPLERSTATETYPE savedSamplerStates[] = {
    D3DSAMP_MIPFILTER, D3DSAMP_MINFILTER, D3DSAMP_MAGFILTER, D3DSAMP_ADDRESSU, D3DSAMP_ADDRESSV,
};

template <typename T, size_t n>
constexpr size_t countOf(const T (&)[n])
{
    return n;
}

// World, view, projection, then the texture transform of each stage.
D3DTRANSFORMSTATETYPE savedTransform(int i)
{
    static const D3DTRANSFORMSTATETYPE first[] = {D3DTS_WORLD, D3DTS_VIEW, D3DTS_PROJECTION};
    return i < 3 ? first[i] : static_cast<D3DTRANSFORMSTATETYPE>(D3DTS_TEXTURE0 + (i - 3));
}

// A key is held while the high bit of its asynchronous state is set.
class AsyncKeyState : public KeyState {
public:
    bool held(int virtualKey) override { return (GetAsyncKeyState(virtualKey) & 0x8000) != 0; }
};

} // namespace

// Routes the held keys of a frame to the game and the console.
class D3dDevice::HeldKeyReceiver : public KeyReceiver {
public:
    explicit HeldKeyReceiver(D3dDevice& device) : device_(device) {}
    void gameKey(int key) override { device_.onKey(key); }
    bool hasConsole() override { return device_.console_ != nullptr; }
    bool consoleVisible() override { return device_.console_ && device_.console_->isVisible(); }
    void consoleKey(int key) override
    {
        if (device_.console_)
            device_.console_->onKey(key);
    }

private:
    D3dDevice& device_;
};

D3dDevice::D3dDevice()
    : width_(0),
      height_(0),
      console_(nullptr),
      matrixMode_(1),
      primitivesDrawn_(0),
      triangleVertices_(nullptr),
      triangleIndices_(nullptr),
      sceneOpen_(false),
      clearColor_(0),
      // Nothing reads the pending list here: it is not kept.
      renderStates_(this, false),
      textureStage_(0),
      screenSurface_(nullptr),
      renderTarget_(nullptr),
      stageTextures_(),
      invalidated_(false),
      saved_(),
      boundVertexBuffer_(nullptr),
      boundIndexBuffer_(nullptr),
      flipped_(),
      sphereMapped_()
{
    matrixStack_.reserve(16);
    setUseDepthBuffer(true);
    setShowCursorWhenFullscreen(true);
    Device::setInstance(this);
}

D3dDevice::~D3dDevice()
{
    // The resources went with the device objects; the registry only frees
    // its lists.
    if (screenSurface_)
        screenSurface_->Release();
}

D3dDevice* D3dDevice::current()
{
    return dynamic_cast<D3dDevice*>(Device::instance());
}

// ---------------------------------------------------------------- life ---

int D3dDevice::run(int width, int height, bool fullscreen, const std::string& title,
                   bool vsync, bool)
{
    width_ = width;
    height_ = height;
    setCreationSize(width, height);
    title_ = title;
    setTitle(title_);
    setStartFullscreen(fullscreen);
    setVsync(vsync);

    // The window class takes the cursor, so it is made before the window.
    const uint8_t* cursorData = nullptr;
    const uint8_t* cursorMask = nullptr;
    int hotX = 0;
    int hotY = 0;
    decodeCursorPicture(&cursorData, &cursorMask, &hotX, &hotY);
    setCursor(cursorData, cursorMask, hotX, hotY);

    InitCommonControls();
    create(GetModuleHandleA(nullptr));
    return D3dHost::run();
}

void D3dDevice::onInit() {}
void D3dDevice::onFrame(float) {}
void D3dDevice::onKey(int) {}
void D3dDevice::onShutdown() {}

void D3dDevice::requestQuit()
{
    if (window())
        SendMessageA(window(), WM_CLOSE, 0, 0);
}

int D3dDevice::width() { return width_; }
int D3dDevice::height() { return height_; }
int D3dDevice::fps() { return static_cast<int>(framesPerSecond()); }
int D3dDevice::primitivesDrawn() { return primitivesDrawn_; }

void D3dDevice::setConsole(Console* console)
{
    console_ = console;
}

// ------------------------------------------------------ framework hooks ---

HRESULT D3dDevice::confirmDevice(const D3DCAPS9&, DWORD behavior, D3DFORMAT)
{
    return (behavior & D3DCREATE_PUREDEVICE) ? E_FAIL : S_OK;
}

HRESULT D3dDevice::oneTimeSceneInit()
{
    SendMessageA(window(), WM_PAINT, 0, 0);
    return S_OK;
}

HRESULT D3dDevice::initDeviceObjects()
{
    renderStates_.reset();
    IDirect3DDevice9* device = d3dDevice();
    if (screenSurface_) {
        screenSurface_->Release();
        screenSurface_ = nullptr;
    }
    device->GetRenderTarget(0, &screenSurface_);
    renderTarget_ = nullptr;
    invalidated_ = false;
    for (int stage = 0; stage < stageCount; ++stage) {
        flipped_[stage] = sphereMapped_[stage] = false;
        stageTextures_[stage] = nullptr;
    }

    triangleVertices_ = createVertexBuffer(true, 3);
    triangleIndices_ = createIndexBuffer(true, 3);
    if (triangleIndices_) {
        uint32_t* indices = triangleIndices_->lock();
        indices[0] = 0;
        indices[1] = 1;
        indices[2] = 2;
        triangleIndices_->unlock();
    }

    onInit();
    // onInit may have closed the window (requestQuit): then the console
    // has nothing to draw on.
    if (console_ && d3dDevice())
        console_->createGraphics();
    return S_OK;
}

HRESULT D3dDevice::invalidateDeviceObjects()
{
    IDirect3DDevice9* device = d3dDevice();
    if (invalidated_ || !device)
        return S_OK;
    saveStates();
    // Nothing of the default pool stays bound: the screen is the target,
    // no stage holds a texture, no buffer is a source.
    if (screenSurface_)
        device->SetRenderTarget(0, screenSurface_);
    for (int stage = 0; stage < stageCount; ++stage)
        device->SetTexture(stage, nullptr);
    device->SetStreamSource(0, nullptr, 0, 0);
    device->SetIndices(nullptr);
    if (screenSurface_) {
        screenSurface_->Release();
        screenSurface_ = nullptr;
    }
    for (Texture* texture : resources_.textures())
        if (texture)
            static_cast<D3dTexture*>(texture)->releaseDeviceTexture();
    for (VertexBuffer* buffer : resources_.vertexBuffers())
        if (buffer)
            static_cast<D3dVertexBuffer*>(buffer)->releaseDeviceBuffer();
    for (IndexBuffer* buffer : resources_.indexBuffers())
        if (buffer)
            static_cast<D3dIndexBuffer*>(buffer)->releaseDeviceBuffer();
    invalidated_ = true;
    return S_OK;
}

HRESULT D3dDevice::restoreDeviceObjects()
{
    IDirect3DDevice9* device = d3dDevice();
    if (!invalidated_ || !device)
        return S_OK;
    invalidated_ = false;
    // An object Direct3D refuses to make again is the end of the game, as
    // a refused reset is: without it (the triangle buffers, say) the game
    // would go on without its menus and texts. The host names it in its
    // message box and closes the window.
    char name[128];
    HRESULT result = device->GetRenderTarget(0, &screenSurface_);
    if (FAILED(result)) {
        screenSurface_ = nullptr;
        nameFailure("the screen's surface");
        return result;
    }
    for (Texture* texture : resources_.textures()) {
        if (!texture)
            continue;
        result = static_cast<D3dTexture*>(texture)->restoreDeviceTexture(device);
        if (FAILED(result)) {
            std::snprintf(name, sizeof name, "a render-target texture of %d x %d pixels", texture->width(),
                          texture->height());
            nameFailure(name);
            return result;
        }
    }
    for (VertexBuffer* buffer : resources_.vertexBuffers()) {
        if (!buffer)
            continue;
        result = static_cast<D3dVertexBuffer*>(buffer)->restoreDeviceBuffer(device);
        if (FAILED(result)) {
            std::snprintf(name, sizeof name, "a vertex buffer of %d vertices", buffer->count());
            nameFailure(name);
            return result;
        }
    }
    for (IndexBuffer* buffer : resources_.indexBuffers()) {
        if (!buffer)
            continue;
        result = static_cast<D3dIndexBuffer*>(buffer)->restoreDeviceBuffer(device);
        if (FAILED(result)) {
            std::snprintf(name, sizeof name, "an index buffer of %d indices", buffer->count());
            nameFailure(name);
            return result;
        }
    }
    restoreStates();
    return S_OK;
}

void D3dDevice::saveStates()
{
    IDirect3DDevice9* device = d3dDevice();
    static_assert(countOf(savedRenderStates) <= sizeof(SavedStates::renderStates) / sizeof(DWORD),
                  "room for every render state");
    static_assert(countOf(savedStageStates) * stageCount == sizeof(SavedStates::stageStates) / sizeof(DWORD),
                  "room for every stage state");
    static_assert(countOf(savedSamplerStates) * stageCount == sizeof(SavedStates::samplerStates) / sizeof(DWORD),
                  "room for every sampler state");
    for (size_t i = 0; i < countOf(savedRenderStates); ++i)
        device->GetRenderState(savedRenderStates[i], &saved_.renderStates[i]);
    for (int stage = 0; stage < stageCount; ++stage) {
        for (size_t i = 0; i < countOf(savedStageStates); ++i)
            device->GetTextureStageState(stage, savedStageStates[i], &saved_.stageStates[stage][i]);
        for (size_t i = 0; i < countOf(savedSamplerStates); ++i)
            device->GetSamplerState(stage, savedSamplerStates[i], &saved_.samplerStates[stage][i]);
    }
    for (int i = 0; i < 3 + stageCount; ++i)
        device->GetTransform(savedTransform(i), &saved_.transforms[i]);
    device->GetMaterial(&saved_.material);
    device->GetViewport(&saved_.viewport);
    device->GetFVF(&saved_.vertexFormat);
    std::memcpy(saved_.flipped, flipped_, sizeof flipped_);
    std::memcpy(saved_.sphereMapped, sphereMapped_, sizeof sphereMapped_);

    // Light 0 (switched off every frame) and every light of the game.
    saved_.lights.clear();
    auto saveLight = [this, device](DWORD index) {
        for (const SavedStates::SavedLight& light : saved_.lights)
            if (light.index == index)
                return;
        SavedStates::SavedLight light = {};
        light.index = index;
        if (SUCCEEDED(device->GetLight(index, &light.light)) &&
            SUCCEEDED(device->GetLightEnable(index, &light.enabled)))
            saved_.lights.push_back(light);
    };
    saveLight(0);
    for (Light* light : resources_.lights())
        if (light)
            saveLight(static_cast<DWORD>(light->index()));
}

void D3dDevice::restoreStates()
{
    IDirect3DDevice9* device = d3dDevice();
    // The engine's render states through the cache, then every raw state
    // as it was (among them those set straight on Direct3D each frame).
    renderStates_.applyCurrent();
    for (size_t i = 0; i < countOf(savedRenderStates); ++i)
        device->SetRenderState(savedRenderStates[i], saved_.renderStates[i]);
    for (int stage = 0; stage < stageCount; ++stage) {
        for (size_t i = 0; i < countOf(savedStageStates); ++i)
            device->SetTextureStageState(stage, savedStageStates[i], saved_.stageStates[stage][i]);
        for (size_t i = 0; i < countOf(savedSamplerStates); ++i)
            device->SetSamplerState(stage, savedSamplerStates[i], saved_.samplerStates[stage][i]);
    }
    for (int i = 0; i < 3 + stageCount; ++i)
        device->SetTransform(savedTransform(i), &saved_.transforms[i]);
    // The cache's texture mode went to the current stage and changed the
    // record of its transform (no flip, its own sphere map); the stage
    // states and transforms are back as they were, and so is the record,
    // so that the next texture on a stage that held a render target takes
    // the flip away again.
    std::memcpy(flipped_, saved_.flipped, sizeof flipped_);
    std::memcpy(sphereMapped_, saved_.sphereMapped, sizeof sphereMapped_);
    device->SetMaterial(&saved_.material);
    for (const SavedStates::SavedLight& light : saved_.lights) {
        device->SetLight(light.index, &light.light);
        device->LightEnable(light.index, light.enabled);
    }

    for (int stage = 0; stage < stageCount; ++stage) {
        D3dTexture* texture = static_cast<D3dTexture*>(stageTextures_[stage]);
        device->SetTexture(stage, texture ? texture->texture() : nullptr);
    }
    if (boundVertexBuffer_)
        setVertexBuffer(boundVertexBuffer_);
    device->SetFVF(saved_.vertexFormat);
    if (boundIndexBuffer_)
        setIndexBuffer(boundIndexBuffer_);
    IDirect3DSurface9* target =
        renderTarget_ ? static_cast<D3dTexture*>(renderTarget_)->surface() : screenSurface_;
    if (target)
        device->SetRenderTarget(0, target);
    // Setting the target took the viewport to the whole of it.
    device->SetViewport(&saved_.viewport);
}

HRESULT D3dDevice::frameMove()
{
    if (active())
        pollKeys();
    IDirect3DDevice9* device = d3dDevice();
    if (!device)
        return S_OK;   // closed by Escape

    D3DMATERIAL9 material = {};
    material.Diffuse = {0.8f, 0.8f, 0.8f, 1.0f};
    material.Ambient = {0.8f, 0.8f, 0.8f, 1.0f};
    device->SetMaterial(&material);

    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_NONE);
    device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);

    // Straight to Direct3D: the render-state cache does not know of these.
    device->SetRenderState(D3DRS_DITHERENABLE, FALSE);
    device->SetRenderState(D3DRS_SPECULARENABLE, FALSE);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    device->SetRenderState(D3DRS_AMBIENT, 0x000F0F0F);
    device->LightEnable(0, FALSE);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    return S_OK;
}

HRESULT D3dDevice::render()
{
    if (!d3dDevice())
        return S_OK;
    primitivesDrawn_ = 0;
    sceneOpen_ = false;
    setRenderTarget(nullptr);
    setTextureStage(0);
    const float elapsed = elapsedSeconds();
    onFrame(elapsed);
    // onFrame may have closed the window (requestQuit): the console is
    // forgotten then, and there is no scene to end.
    if (console_)
        console_->draw(elapsed);
    if (sceneOpen_ && d3dDevice())
        endFrame();
    return S_OK;
}

HRESULT D3dDevice::deleteDeviceObjects()
{
    if (screenSurface_) {
        screenSurface_->Release();
        screenSurface_ = nullptr;
    }
    if (console_) {
        console_->releaseGraphics();
        console_ = nullptr;
    }
    onShutdown();
    releaseAllResources();
    sceneOpen_ = false;
    invalidated_ = false;
    renderTarget_ = nullptr;
    return S_OK;
}

LRESULT D3dDevice::msgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return handleMessage(window, message, wParam, lParam);
}

// ----------------------------------------------------------- resources ---

IndexBuffer* D3dDevice::createIndexBuffer(bool dynamic, int count)
{
    D3dIndexBuffer* buffer = createD3dIndexBuffer(dynamic, count);
    if (buffer)
        resources_.addIndexBuffer(buffer);
    return buffer;
}

VertexBuffer* D3dDevice::createVertexBuffer(bool dynamic, int count)
{
    D3dVertexBuffer* buffer = createD3dVertexBuffer(dynamic, count);
    if (buffer)
        resources_.addVertexBuffer(buffer);
    return buffer;
}

Texture* D3dDevice::createTexture(bool renderTarget, const uint32_t* pixels, int width, int height)
{
    D3dTexture* texture = createD3dTexture(renderTarget, pixels, width, height);
    if (texture)
        resources_.addTexture(texture);
    return texture;
}

Light* D3dDevice::createLight()
{
    return resources_.createLight();
}

void D3dDevice::forgetLight(Light* light)
{
    resources_.forgetLight(light);
}

void D3dDevice::forgetTexture(Texture* texture)
{
    if (renderTarget_ == texture)
        renderTarget_ = nullptr;
    for (Texture*& bound : stageTextures_)
        if (bound == texture)
            bound = nullptr;
    resources_.forgetTexture(texture);
}

void D3dDevice::forgetVertexBuffer(VertexBuffer* buffer)
{
    if (boundVertexBuffer_ == buffer)
        boundVertexBuffer_ = nullptr;
    if (triangleVertices_ == buffer)
        triangleVertices_ = nullptr;
    resources_.forgetVertexBuffer(buffer);
}

void D3dDevice::forgetIndexBuffer(IndexBuffer* buffer)
{
    if (boundIndexBuffer_ == buffer)
        boundIndexBuffer_ = nullptr;
    if (triangleIndices_ == buffer)
        triangleIndices_ = nullptr;
    resources_.forgetIndexBuffer(buffer);
}

void D3dDevice::releaseAllResources()
{
    resources_.releaseAll();
}

// ------------------------------------------------------ display, mouse ---

void D3dDevice::getDisplayInfo(DisplayInfo& out)
{
    IDirect3D9* direct3d = D3dHost::direct3d();
    IDirect3D9* own = nullptr;
    if (!direct3d)
        direct3d = own = Direct3DCreate9(31);
    if (!direct3d)
        std::fprintf(stderr, "racer_d3d: Direct3D 9 cannot be started; no display information\n");
    fillDisplayInfo(out, direct3d);
    if (own)
        own->Release();
}

void D3dDevice::setMousePosition(int x, int y)
{
    POINT point;
    int targetX = 0;
    int targetY = 0;
    mouseTargetPosition(x, y, width_, height_, &targetX, &targetY);
    point.x = targetX;
    point.y = targetY;
    ClientToScreen(window(), &point);
    SetCursorPos(point.x, point.y);
}

void D3dDevice::getMousePosition(int* x, int* y)
{
    POINT point = {};
    GetCursorPos(&point);
    ScreenToClient(window(), &point);
    clientToDevicePosition(point.x, point.y, width_, height_, clientWidth(), clientHeight(), x, y);
}

void D3dDevice::setCursor(const uint8_t* data, const uint8_t* mask, int hotX, int hotY)
{
    if (!data || !mask) {
        std::fprintf(stderr, "racer_d3d: a mouse pointer without its picture was not set\n");
        return;
    }
    // Win32 planes: AND = NOT mask, XOR = data XOR mask.
    const int bytes = 32 * 32 / 8;
    uint8_t andPlane[bytes];
    uint8_t xorPlane[bytes];
    for (int i = 0; i < bytes; ++i) {
        andPlane[i] = static_cast<uint8_t>(~mask[i]);
        xorPlane[i] = static_cast<uint8_t>(data[i] ^ mask[i]);
    }
    HCURSOR cursor = CreateCursor(GetModuleHandleA(nullptr), hotX, hotY, 32, 32, andPlane, xorPlane);
    if (!cursor) {
        std::fprintf(stderr, "racer_d3d: cannot create the mouse pointer\n");
        return;
    }
    setWindowCursor(cursor);
}

// ------------------------------------------------------------- keyboard ---

void D3dDevice::pollKeys()
{
    // The asynchronous key state is the whole desktop's: keys typed into
    // another program's window are not the player's.
    if (!window() || GetForegroundWindow() != window())
        return;
    AsyncKeyState keys;
    HeldKeyReceiver receiver(*this);
    if (deliverHeldKeys(keys, receiver))
        requestQuit();
}

// ------------------------------------------------- matrices, viewport ---

void D3dDevice::setViewport(int x, int y, int width, int height)
{
    if (IDirect3DDevice9* device = d3dDevice()) {
        D3DVIEWPORT9 viewport = {static_cast<DWORD>(x), static_cast<DWORD>(y),
                                 static_cast<DWORD>(width), static_cast<DWORD>(height), 0.0f, 1.0f};
        device->SetViewport(&viewport);
    }
}

void D3dDevice::setMatrixMode(int mode)
{
    matrixMode_ = mode;
}

int D3dDevice::matrixMode()
{
    return matrixMode_;
}

Matrix4& D3dDevice::selectedMatrix()
{
    return matrixMode_ == 0 ? projection_ : modelview_;
}

void D3dDevice::sendSelectedMatrix()
{
    if (IDirect3DDevice9* device = d3dDevice()) {
        const D3DMATRIX m = toD3dMatrix(selectedMatrix());
        device->SetTransform(matrixMode_ == 0 ? D3DTS_PROJECTION : D3DTS_WORLD, &m);
    }
}

void D3dDevice::getMatrix(Matrix4& out)
{
    IDirect3DDevice9* device = d3dDevice();
    D3DMATRIX m;
    if (device && SUCCEEDED(device->GetTransform(matrixMode_ == 0 ? D3DTS_PROJECTION : D3DTS_WORLD, &m)))
        out = fromD3dMatrix(m);
    else
        out = selectedMatrix();
}

void D3dDevice::pushMatrix()
{
    matrixStack_.push_back(selectedMatrix());
}

void D3dDevice::popMatrix()
{
    if (matrixStack_.empty())
        return;
    selectedMatrix() = matrixStack_.back();
    matrixStack_.pop_back();
    sendSelectedMatrix();
}

void D3dDevice::loadIdentity()
{
    loadMatrix(Matrix4());
}

void D3dDevice::loadMatrix(const Matrix4& m)
{
    selectedMatrix() = m;
    sendSelectedMatrix();
    if (IDirect3DDevice9* device = d3dDevice()) {
        const D3DMATRIX identity = identityMatrix();
        device->SetTransform(D3DTS_VIEW, &identity);
    }
}

void D3dDevice::multMatrix(const Matrix4& m)
{
    selectedMatrix().multiply(m);
    sendSelectedMatrix();
}

void D3dDevice::rotate(float angleDegrees, float x, float y, float z)
{
    Matrix4 m;
    m.setRotation(angleDegrees, x, y, z);
    multMatrix(m);
}

void D3dDevice::translate(float x, float y, float z)
{
    Matrix4 m;
    m.setTranslation(x, y, z);
    multMatrix(m);
}

void D3dDevice::scale(float x, float y, float z)
{
    Matrix4 m;
    m.setScale(x, y, z);
    multMatrix(m);
}

// ------------------------------------------------- clearing, drawing ---

void D3dDevice::setClearColor(uint32_t rgb)
{
    clearColor_ = rgb;
}

void D3dDevice::clear(int flags)
{
    IDirect3DDevice9* device = d3dDevice();
    if (!device)
        return;
    DWORD clearFlags = 0;
    if (flags & ClearFlags::color)
        clearFlags |= D3DCLEAR_TARGET;
    if (flags & ClearFlags::depth)
        clearFlags |= D3DCLEAR_ZBUFFER;
    if (flags & ClearFlags::stencil)
        clearFlags |= D3DCLEAR_STENCIL;
    if (clearFlags)
        device->Clear(0, nullptr, clearFlags, clearColor_, 1.0f, 0);
}

void D3dDevice::drawTriangle(const Vertex v[3])
{
    IDirect3DDevice9* device = d3dDevice();
    if (!v || !device || !triangleVertices_ || !triangleIndices_)
        return;
    D3dVertexBuffer* vertices = static_cast<D3dVertexBuffer*>(triangleVertices_);
    Vertex* target = vertices->lockToRewrite();
    std::memcpy(target, v, 3 * sizeof(Vertex));
    triangleVertices_->unlock();
    setVertexBuffer(triangleVertices_);
    setIndexBuffer(triangleIndices_);
    if (vertices->buffer())
        device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1);
    primitivesDrawn_ += 1;
}

void D3dDevice::drawIndexed(int minVertex, int vertexCount, int startIndex, int indexCount)
{
    IDirect3DDevice9* device = d3dDevice();
    if (!device || !boundVertexBuffer_ || !boundIndexBuffer_ || indexCount <= 0)
        return;
    if (startIndex < 0 || startIndex > boundIndexBuffer_->count() - indexCount) {
        std::fprintf(stderr, "racer_d3d: indices %d to %d lie outside the index buffer of %d; not drawn\n",
                     startIndex, startIndex + indexCount - 1, boundIndexBuffer_->count());
        return;
    }
    // Whole triangles only; the counter takes every index. Buffers that
    // Direct3D refused draw nothing.
    if (indexCount >= 3 && static_cast<D3dVertexBuffer*>(boundVertexBuffer_)->buffer() &&
        static_cast<D3dIndexBuffer*>(boundIndexBuffer_)->buffer())
        device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, minVertex, vertexCount, startIndex,
                                     indexCount / 3);
    primitivesDrawn_ += indexCount;
}

void D3dDevice::drawStrip(int firstVertex, int count)
{
    IDirect3DDevice9* device = d3dDevice();
    if (!device || !boundVertexBuffer_ || count <= 0)
        return;
    if (firstVertex < 0 || firstVertex > boundVertexBuffer_->count() - count) {
        std::fprintf(stderr, "racer_d3d: vertices %d to %d lie outside the vertex buffer of %d; not drawn\n",
                     firstVertex, firstVertex + count - 1, boundVertexBuffer_->count());
        return;
    }
    if (count >= 3 && static_cast<D3dVertexBuffer*>(boundVertexBuffer_)->buffer())
        device->DrawPrimitive(D3DPT_TRIANGLESTRIP, firstVertex, count - 2);
    primitivesDrawn_ += count + 2;
}

void D3dDevice::setRenderTarget(Texture* target)
{
    IDirect3DDevice9* device = d3dDevice();
    if (!device)
        return;
    if (sceneOpen_)
        endFrame();
    renderTarget_ = target;
    IDirect3DSurface9* surface = target ? static_cast<D3dTexture*>(target)->surface() : screenSurface_;
    if (surface)
        device->SetRenderTarget(0, surface);
    else if (!target || !target->isRenderTarget())
        std::fprintf(stderr, "racer_d3d: a texture that is no render target cannot be drawn into\n");
    // A render target Direct3D refused was told of when it was made.
    beginFrame();
    sceneOpen_ = true;
}

// -------------------------------------------------------------- buffers ---

void D3dDevice::setVertexBuffer(VertexBuffer* buffer)
{
    boundVertexBuffer_ = buffer;
    IDirect3DDevice9* device = d3dDevice();
    if (!device)
        return;
    IDirect3DVertexBuffer9* d3dBuffer = buffer ? static_cast<D3dVertexBuffer*>(buffer)->buffer() : nullptr;
    device->SetStreamSource(0, d3dBuffer, 0, sizeof(Vertex));
    device->SetFVF(D3dVertexBuffer::vertexFormat);
}

void D3dDevice::setIndexBuffer(IndexBuffer* buffer)
{
    boundIndexBuffer_ = buffer;
    IDirect3DDevice9* device = d3dDevice();
    if (!device)
        return;
    device->SetIndices(buffer ? static_cast<D3dIndexBuffer*>(buffer)->buffer() : nullptr);
}

// ------------------------------------------------------------- textures ---

int D3dDevice::textureStage()
{
    return textureStage_;
}

void D3dDevice::setTextureStage(int stage)
{
    textureStage_ = stage;
    IDirect3DDevice9* device = d3dDevice();
    if (!device || stage < 0 || stage >= stageCount)
        return;
    device->SetTextureStageState(stage, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetSamplerState(stage, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    device->SetSamplerState(stage, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
}

void D3dDevice::setTexture(Texture* texture)
{
    IDirect3DDevice9* device = d3dDevice();
    const int stage = textureStage_;
    if (!device || stage < 0 || stage >= stageCount)
        return;
    D3dTexture* d3dTexture = static_cast<D3dTexture*>(texture);
    stageTextures_[stage] = texture;
    device->SetTexture(stage, d3dTexture ? d3dTexture->texture() : nullptr);
    if (texture && texture->isRenderTarget()) {
        // A render target holds its picture upside down from what an
        // ordinary texture holds: read it with v reversed.
        const D3DMATRIX flip = flipMatrix();
        device->SetTransform(textureTransform(stage), &flip);
        device->SetTextureStageState(stage, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
        flipped_[stage] = true;
    } else if (flipped_[stage]) {
        restoreTextureTransform(stage);
    }
}

// The stage's texture transform as its texture mode left it, in place of
// the render-target flip.
void D3dDevice::restoreTextureTransform(int stage)
{
    IDirect3DDevice9* device = d3dDevice();
    flipped_[stage] = false;
    if (sphereMapped_[stage]) {
        const D3DMATRIX sphere = sphereMapMatrix();
        device->SetTransform(textureTransform(stage), &sphere);
        device->SetTextureStageState(stage, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
    } else {
        device->SetTextureStageState(stage, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
    }
}

// ------------------------------------------------- stencil, fog, lights ---

void D3dDevice::setStencilRef(int ref)
{
    if (IDirect3DDevice9* device = d3dDevice())
        device->SetRenderState(D3DRS_STENCILREF, static_cast<DWORD>(ref));
}

void D3dDevice::setStencilMask(uint32_t mask)
{
    if (IDirect3DDevice9* device = d3dDevice())
        device->SetRenderState(D3DRS_STENCILMASK, mask);
}

void D3dDevice::setStencilWriteMask(uint32_t mask)
{
    if (IDirect3DDevice9* device = d3dDevice())
        device->SetRenderState(D3DRS_STENCILWRITEMASK, mask);
}

void D3dDevice::setStencilOp(int fail, int depthFail, int pass)
{
    if (IDirect3DDevice9* device = d3dDevice()) {
        device->SetRenderState(D3DRS_STENCILFAIL, stencilOperation(fail));
        device->SetRenderState(D3DRS_STENCILZFAIL, stencilOperation(depthFail));
        device->SetRenderState(D3DRS_STENCILPASS, stencilOperation(pass));
    }
}

void D3dDevice::setFogStart(float start)
{
    if (IDirect3DDevice9* device = d3dDevice())
        device->SetRenderState(D3DRS_FOGSTART, floatBits(start));
}

void D3dDevice::setFogEnd(float end)
{
    if (IDirect3DDevice9* device = d3dDevice())
        device->SetRenderState(D3DRS_FOGEND, floatBits(end));
}

void D3dDevice::setFogDensity(float density)
{
    if (IDirect3DDevice9* device = d3dDevice())
        device->SetRenderState(D3DRS_FOGDENSITY, floatBits(density));
}

void D3dDevice::setFogColor(float r, float g, float b)
{
    if (IDirect3DDevice9* device = d3dDevice())
        device->SetRenderState(D3DRS_FOGCOLOR, colorWord(r, g, b));
}

void D3dDevice::setAmbient(float r, float g, float b)
{
    if (IDirect3DDevice9* device = d3dDevice())
        device->SetRenderState(D3DRS_AMBIENT, colorWord(r, g, b));
}

void D3dDevice::setLight(Light* light, bool enable)
{
    IDirect3DDevice9* device = d3dDevice();
    if (!light || !device)
        return;
    const DWORD index = static_cast<DWORD>(light->index());
    if (!enable) {
        device->LightEnable(index, FALSE);
        return;
    }

    const LightDesc& desc = light->desc();
    device->SetRenderState(D3DRS_LIGHTING, TRUE);
    D3DMATERIAL9 material = {};
    material.Diffuse = {desc.color[0], desc.color[1], desc.color[2], 1.0f};
    material.Ambient = material.Diffuse;
    device->SetMaterial(&material);

    D3DLIGHT9 d3dLight = {};
    const D3DCOLORVALUE diffuse = {desc.color[0], desc.color[1], desc.color[2], 0.0f};
    const D3DVECTOR position = {desc.position[0], desc.position[1], desc.position[2]};
    const D3DVECTOR direction = {desc.direction[0], desc.direction[1], desc.direction[2]};
    switch (desc.type) {
    case 0:
        d3dLight.Type = D3DLIGHT_DIRECTIONAL;
        d3dLight.Direction = direction;
        d3dLight.Diffuse = diffuse;
        break;
    case 1:
        d3dLight.Type = D3DLIGHT_SPOT;
        d3dLight.Position = position;
        d3dLight.Direction = direction;
        d3dLight.Diffuse = diffuse;
        d3dLight.Range = desc.range;
        d3dLight.Theta = desc.innerCone;
        d3dLight.Phi = desc.outerCone;
        d3dLight.Falloff = desc.falloff;
        d3dLight.Attenuation0 = desc.constantAttenuation;
        break;
    case 2:
        d3dLight.Type = D3DLIGHT_POINT;
        d3dLight.Position = position;
        d3dLight.Diffuse = diffuse;
        d3dLight.Range = desc.range;
        d3dLight.Attenuation1 = desc.linearAttenuation;
        break;
    default:
        break;
    }
    device->SetLight(index, &d3dLight);
    device->LightEnable(index, TRUE);
}

// -------------------------------------------------------- render states ---

void D3dDevice::setRenderState(int type, int value)
{
    renderStates_.set(type, value);
    IDirect3DDevice9* device = d3dDevice();
    if (!device)
        return;
    const int stage = textureStage_;
    const bool stageValid = stage >= 0 && stage < stageCount;
    switch (type) {
    case RenderStateType::depthTest:
        if (value == RenderStateValue::depthOff) {
            device->SetRenderState(D3DRS_ZFUNC, D3DCMP_NEVER);
            device->SetRenderState(D3DRS_ZENABLE, FALSE);
        } else {
            if (value >= RenderStateValue::depthLess && value <= RenderStateValue::depthAlways)
                device->SetRenderState(D3DRS_ZFUNC, compareFunctions[value - RenderStateValue::depthLess]);
            device->SetRenderState(D3DRS_ZENABLE, TRUE);
        }
        break;
    case RenderStateType::stencilTest:
        if (value == RenderStateValue::stencilOff) {
            device->SetRenderState(D3DRS_STENCILENABLE, FALSE);
        } else if (value >= RenderStateValue::stencilLess && value <= RenderStateValue::stencilAlways) {
            device->SetRenderState(D3DRS_STENCILENABLE, TRUE);
            device->SetRenderState(D3DRS_STENCILFUNC, compareFunctions[value - RenderStateValue::stencilLess]);
        }
        break;
    case RenderStateType::cullMode:
        if (value == RenderStateValue::cullNone)
            device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        else if (value == RenderStateValue::cullClockwise)
            device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
        else if (value == RenderStateValue::cullCounterClockwise)
            device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
        break;
    case RenderStateType::blendMode:
        switch (value) {
        case RenderStateValue::blendOff:
            device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
            break;
        case RenderStateValue::blendAdditive:
            if (stage == 0) {
                device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
                device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
                device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
            } else if (stageValid) {
                device->SetTextureStageState(stage, D3DTSS_COLOROP, D3DTOP_ADD);
            }
            break;
        case RenderStateValue::blendMultiplicative:
            if (stage == 0) {
                device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
                device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ZERO);
                device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCCOLOR);
            } else if (stageValid) {
                device->SetTextureStageState(stage, D3DTSS_COLOROP, D3DTOP_SUBTRACT);
            }
            break;
        case RenderStateValue::blendAlpha:
            if (stage == 0) {
                device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
                device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
                device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
                device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
                device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
                device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
            }
            break;
        case RenderStateValue::blendModulate:
            if (stage != 0 && stageValid) {
                device->SetTextureStageState(stage, D3DTSS_COLOROP, D3DTOP_MODULATE);
                device->SetTextureStageState(stage, D3DTSS_TEXCOORDINDEX, 1);
            }
            break;
        default:
            break;
        }
        break;
    case RenderStateType::textureMode:
        device->SetRenderState(D3DRS_NORMALIZENORMALS, FALSE);
        if (!stageValid)
            break;
        device->SetSamplerState(stage, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP);
        device->SetSamplerState(stage, D3DSAMP_ADDRESSV, D3DTADDRESS_WRAP);
        device->SetTextureStageState(stage, D3DTSS_TEXCOORDINDEX, 0);
        device->SetTextureStageState(stage, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
        flipped_[stage] = false;
        sphereMapped_[stage] = value == RenderStateValue::textureSphereMap;
        if (value == RenderStateValue::textureClamp) {
            device->SetSamplerState(stage, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
            device->SetSamplerState(stage, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
        } else if (value == RenderStateValue::textureSphereMap) {
            device->SetRenderState(D3DRS_NORMALIZENORMALS, TRUE);
            device->SetTextureStageState(stage, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACENORMAL);
            device->SetTextureStageState(stage, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
            const D3DMATRIX sphere = sphereMapMatrix();
            device->SetTransform(textureTransform(stage), &sphere);
        }
        break;
    case RenderStateType::fillMode:
        device->SetRenderState(D3DRS_FILLMODE,
                               value == RenderStateValue::fillWireframe ? D3DFILL_WIREFRAME : D3DFILL_SOLID);
        break;
    case RenderStateType::fogMode:
        if (value == RenderStateValue::fogOff) {
            device->SetRenderState(D3DRS_FOGENABLE, FALSE);
        } else if (value >= RenderStateValue::fogLinear && value <= RenderStateValue::fogExp2) {
            static const DWORD modes[] = {D3DFOG_LINEAR, D3DFOG_EXP, D3DFOG_EXP2};
            device->SetRenderState(D3DRS_FOGENABLE, TRUE);
            device->SetRenderState(D3DRS_FOGVERTEXMODE, modes[value - RenderStateValue::fogLinear]);
        }
        break;
    default:
        break;
    }
}

int D3dDevice::getRenderState(int type)
{
    return renderStates_.get(type);
}

void D3dDevice::pushRenderStates()
{
    renderStates_.push();
}

void D3dDevice::popRenderStates()
{
    renderStates_.pop();
}

void D3dDevice::beginFrame()
{
    if (IDirect3DDevice9* device = d3dDevice())
        device->BeginScene();
}

void D3dDevice::endFrame()
{
    if (IDirect3DDevice9* device = d3dDevice())
        device->EndScene();
}
