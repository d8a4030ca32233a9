#include "RecordingDevice.h"

#include "CursorPicture.h"
#include "Light.h"

#include <cstdio>
#include <cstring>
#include <sstream>

#if __has_include("Console.h")
#include "Console.h"
#define QUORIN_HAS_CONSOLE 1
#endif

namespace {

// Larger buffers than this are refused (an empty buffer is made instead).
const int maxBufferCount = 1 << 24;

int checkedCount(const char* kind, int count)
{
    if (count < 0 || count > maxBufferCount) {
        std::fprintf(stderr, "%s of %d elements refused\n", kind, count);
        return 0;
    }
    return count;
}

}

bool DeviceCall::is(const char* operation) const
{
    return std::strcmp(name, operation) == 0;
}

// --- resources ---

RecordingTexture::RecordingTexture(bool renderTarget, const uint32_t* pixels, int width, int height)
    : Texture(renderTarget, width, height),
      texels_(buildTextureTexels(pixels, width, height)),
      locks_(0),
      unlocks_(0)
{
    if (texels_.empty()) {
        // No storage could be made: report no texels either.
        textureWidth_ = 0;
        textureHeight_ = 0;
    }
}

uint32_t* RecordingTexture::lock()
{
    ++locks_;
    return texels_.empty() ? nullptr : texels_.data();
}

void RecordingTexture::unlock()
{
    ++unlocks_;
}

uint32_t RecordingTexture::texel(int x, int y) const
{
    if (x < 0 || y < 0 || x >= textureWidth_ || y >= textureHeight_)
        return 0;
    return texels_[static_cast<size_t>(y) * textureWidth_ + x];
}

RecordingVertexBuffer::RecordingVertexBuffer(bool dynamic, int count)
    : VertexBuffer(dynamic, checkedCount("vertex buffer", count)), locks_(0), unlocks_(0)
{
    Vertex white = {};
    white.color = 0xFFFFFFFFu;
    vertices_.assign(static_cast<size_t>(count_), white);
}

Vertex* RecordingVertexBuffer::lock()
{
    ++locks_;
    return vertices_.data();
}

void RecordingVertexBuffer::unlock()
{
    ++unlocks_;
}

RecordingIndexBuffer::RecordingIndexBuffer(bool dynamic, int count)
    : IndexBuffer(dynamic, checkedCount("index buffer", count)), locks_(0), unlocks_(0)
{
    indices_.assign(static_cast<size_t>(count_), 0u);
}

uint32_t* RecordingIndexBuffer::lock()
{
    ++locks_;
    return indices_.data();
}

void RecordingIndexBuffer::unlock()
{
    ++unlocks_;
}

// --- the device ---

RecordingDevice::RecordingDevice()
    : renderStates_(this),
      recording_(true),
      width_(640),
      height_(480),
      quit_(false),
      maxFrames_(1),
      frameTime_(1.0f / 60.0f),
      framesRun_(0),
      matrixMode_(1),
      matrixErrors_(0),
      stage_(0),
      textures_{nullptr, nullptr},
      vertexBuffer_(nullptr),
      indexBuffer_(nullptr),
      renderTarget_(nullptr),
      console_(nullptr),
      clearColor_(0),
      primitives_(0),
      mouseX_(0),
      mouseY_(0),
      cursorData_{},
      cursorMask_{},
      cursorHotX_(0),
      cursorHotY_(0)
{
    calls_.reserve(4096);
    setInstance(this);
}

RecordingDevice::~RecordingDevice()
{
    // Tests that never run still get their resources back. The resources
    // forget themselves through the current device, so be it meanwhile.
    Device* previous = instance();
    setInstance(this);
    registry_.releaseAll();
    setInstance(previous == this ? nullptr : previous);
}

DeviceCall& RecordingDevice::record(const char* name, std::initializer_list<double> args,
                                    const void* object)
{
    static DeviceCall scratch;
    if (!recording_) {
        return scratch;
    }
    calls_.emplace_back();
    DeviceCall& call = calls_.back();
    std::memset(&call, 0, sizeof call);
    call.name = name;
    call.object = object;
    for (double a : args) {
        if (call.argCount < 8)
            call.args[call.argCount++] = a;
    }
    return call;
}

int RecordingDevice::run(int width, int height, bool fullscreen, const std::string& title,
                         bool vsync, bool useExtensions)
{
    record("run", {double(width), double(height), double(fullscreen), double(vsync),
                   double(useExtensions)});
    (void)title;
    width_ = width;
    height_ = height;
    quit_ = false;
    framesRun_ = 0;

    const uint8_t* data = nullptr;
    const uint8_t* mask = nullptr;
    int hotX = 0;
    int hotY = 0;
    decodeCursorPicture(&data, &mask, &hotX, &hotY);
    setCursor(data, mask, hotX, hotY);
    renderStates_.reset();
    onInit();
#ifdef QUORIN_HAS_CONSOLE
    if (console_)
        console_->createGraphics();
#endif

    while (framesRun_ < maxFrames_) {
        if (beforeFrame_)
            beforeFrame_(*this, framesRun_);
        // Input polling: Escape ends the program and delivers nothing.
        std::vector<int> keys = heldKeys_;
        auto scheduled = keysAt_.find(framesRun_);
        if (scheduled != keysAt_.end())
            keys.insert(keys.end(), scheduled->second.begin(), scheduled->second.end());
        bool escape = false;
        for (int key : keys)
            if (key == Key::escape)
                escape = true;
        if (escape)
            quit_ = true;
        else
            for (int key : keys)
                routeKey(key);
        stepFrame();
        ++framesRun_;
        if (quit_)
            break;
    }

#ifdef QUORIN_HAS_CONSOLE
    if (console_) {
        console_->releaseGraphics();
        console_ = nullptr;
    }
#endif
    onShutdown();
    releaseAllResources();
    return 0;
}

void RecordingDevice::routeKey(int key)
{
#ifdef QUORIN_HAS_CONSOLE
    if (console_) {
        if (!console_->isVisible())
            onKey(key);
        console_->onKey(key);
        return;
    }
#endif
    onKey(key);
}

void RecordingDevice::stepFrame()
{
    // Nothing replays the pending list here; keep it from growing.
    renderStates_.clearPending();
    primitives_ = 0;
    beginFrame();
    setRenderTarget(nullptr);
    setTextureStage(0);
    onFrame(frameTime_);
#ifdef QUORIN_HAS_CONSOLE
    if (console_)
        console_->draw(frameTime_);
#endif
    endFrame();
}

void RecordingDevice::onInit() {}
void RecordingDevice::onFrame(float) {}
void RecordingDevice::onKey(int) {}
void RecordingDevice::onShutdown() {}

void RecordingDevice::forgetLight(Light* light)
{
    registry_.forgetLight(light);
}

void RecordingDevice::forgetTexture(Texture* texture)
{
    registry_.forgetTexture(texture);
    for (Texture*& bound : textures_)
        if (bound == texture)
            bound = nullptr;
    if (renderTarget_ == texture)
        renderTarget_ = nullptr;
}

void RecordingDevice::forgetVertexBuffer(VertexBuffer* buffer)
{
    registry_.forgetVertexBuffer(buffer);
    if (vertexBuffer_ == buffer)
        vertexBuffer_ = nullptr;
}

void RecordingDevice::forgetIndexBuffer(IndexBuffer* buffer)
{
    registry_.forgetIndexBuffer(buffer);
    if (indexBuffer_ == buffer)
        indexBuffer_ = nullptr;
}

void RecordingDevice::requestQuit()
{
    record("requestQuit");
    quit_ = true;
}

int RecordingDevice::width() { return width_; }
int RecordingDevice::height() { return height_; }

void RecordingDevice::setSize(int width, int height)
{
    width_ = width;
    height_ = height;
}

void RecordingDevice::resetRenderStates()
{
    renderStates_.reset();
}

void RecordingDevice::getDisplayInfo(DisplayInfo& out)
{
    out.apiName = "Recording";
    out.vendor = "Quorin tests";
    out.renderer = "in-memory";
    out.version = "1";
    out.extensions = "";
    out.extensionsAvailable = false;
    out.displayModes.assign(1, DisplayMode{width_, height_});
}

IndexBuffer* RecordingDevice::createIndexBuffer(bool dynamic, int count)
{
    record("createIndexBuffer", {double(dynamic), double(count)});
    IndexBuffer* buffer = new RecordingIndexBuffer(dynamic, count);
    registry_.addIndexBuffer(buffer);
    return buffer;
}

VertexBuffer* RecordingDevice::createVertexBuffer(bool dynamic, int count)
{
    record("createVertexBuffer", {double(dynamic), double(count)});
    VertexBuffer* buffer = new RecordingVertexBuffer(dynamic, count);
    registry_.addVertexBuffer(buffer);
    return buffer;
}

Texture* RecordingDevice::createTexture(bool renderTarget, const uint32_t* pixels, int width,
                                        int height)
{
    record("createTexture", {double(renderTarget), double(width), double(height)}, pixels);
    Texture* texture = new RecordingTexture(renderTarget, pixels, width, height);
    registry_.addTexture(texture);
    return texture;
}

Light* RecordingDevice::createLight()
{
    Light* light = registry_.createLight();
    record("createLight", {double(light->index())}, light);
    return light;
}

void RecordingDevice::releaseAllResources()
{
    record("releaseAllResources");
    registry_.releaseAll();
    textures_[0] = textures_[1] = nullptr;
    vertexBuffer_ = nullptr;
    indexBuffer_ = nullptr;
    renderTarget_ = nullptr;
}

void RecordingDevice::setConsole(Console* console)
{
    record("setConsole", {}, console);
    console_ = console;
}

void RecordingDevice::setMousePosition(int x, int y)
{
    record("setMousePosition", {double(x), double(y)});
    mouseX_ = x;
    mouseY_ = y;
}

void RecordingDevice::getMousePosition(int* x, int* y)
{
    if (x)
        *x = mouseX_;
    if (y)
        *y = mouseY_;
}

void RecordingDevice::setCursor(const uint8_t* data, const uint8_t* mask, int hotX, int hotY)
{
    record("setCursor", {double(hotX), double(hotY)}, data);
    if (data)
        std::memcpy(cursorData_, data, sizeof cursorData_);
    if (mask)
        std::memcpy(cursorMask_, mask, sizeof cursorMask_);
    cursorHotX_ = hotX;
    cursorHotY_ = hotY;
}

void RecordingDevice::setViewport(int x, int y, int width, int height)
{
    record("setViewport", {double(x), double(y), double(width), double(height)});
}

void RecordingDevice::setMatrixMode(int mode)
{
    record("setMatrixMode", {double(mode)});
    matrixMode_ = mode;
}

int RecordingDevice::matrixMode() { return matrixMode_; }

Matrix4& RecordingDevice::selectedMatrix()
{
    return matrixMode_ == 0 ? projection_ : modelView_;
}

void RecordingDevice::getMatrix(Matrix4& out)
{
    out.assign(selectedMatrix());
}

void RecordingDevice::pushMatrix()
{
    record("pushMatrix", {double(matrixMode_)});
    matrixStack_.push_back(SavedMatrix{matrixMode_, selectedMatrix()});
}

void RecordingDevice::popMatrix()
{
    record("popMatrix", {double(matrixMode_)});
    if (matrixStack_.empty()) {
        ++matrixErrors_;
        std::fprintf(stderr, "popMatrix without a matching pushMatrix\n");
        return;
    }
    SavedMatrix saved = matrixStack_.back();
    matrixStack_.pop_back();
    if (saved.mode != matrixMode_) {
        ++matrixErrors_;
        std::fprintf(stderr, "popMatrix in matrix mode %d of a push made in mode %d\n",
                     matrixMode_, saved.mode);
    }
    selectedMatrix().assign(saved.matrix);
}

void RecordingDevice::loadIdentity()
{
    record("loadIdentity", {double(matrixMode_)});
    selectedMatrix().setIdentity();
}

void RecordingDevice::loadMatrix(const Matrix4& m)
{
    DeviceCall& call = record("loadMatrix", {double(matrixMode_)});
    std::memcpy(call.matrix, m.m, sizeof call.matrix);
    selectedMatrix().assign(m);
}

void RecordingDevice::rotate(float angleDegrees, float x, float y, float z)
{
    record("rotate", {angleDegrees, x, y, z});
    Matrix4 r;
    r.setRotation(angleDegrees, x, y, z);
    selectedMatrix().multiply(r);
}

void RecordingDevice::translate(float x, float y, float z)
{
    record("translate", {x, y, z});
    Matrix4 t;
    t.setTranslation(x, y, z);
    selectedMatrix().multiply(t);
}

void RecordingDevice::scale(float x, float y, float z)
{
    record("scale", {x, y, z});
    Matrix4 s;
    s.setScale(x, y, z);
    selectedMatrix().multiply(s);
}

void RecordingDevice::multMatrix(const Matrix4& m)
{
    DeviceCall& call = record("multMatrix", {double(matrixMode_)});
    std::memcpy(call.matrix, m.m, sizeof call.matrix);
    selectedMatrix().multiply(m);
}

int RecordingDevice::fps() { return 60; }
int RecordingDevice::primitivesDrawn() { return primitives_; }

void RecordingDevice::setClearColor(uint32_t rgb)
{
    record("setClearColor", {double(rgb)});
    clearColor_ = rgb;
}

void RecordingDevice::clear(int flags)
{
    record("clear", {double(flags)});
}

void RecordingDevice::drawTriangle(const Vertex v[3])
{
    DeviceCall& call = record("drawTriangle", {}, textures_[0]);
    for (int i = 0; i < 3; ++i)
        call.vertices[i] = v[i];
    primitives_ += 1;
}

void RecordingDevice::drawIndexed(int minVertex, int vertexCount, int startIndex, int indexCount)
{
    record("drawIndexed", {double(minVertex), double(vertexCount), double(startIndex),
                           double(indexCount)});
    primitives_ += indexCount;
}

void RecordingDevice::drawStrip(int firstVertex, int count)
{
    record("drawStrip", {double(firstVertex), double(count)});
    primitives_ += count + 2;
}

void RecordingDevice::setRenderTarget(Texture* target)
{
    record("setRenderTarget", {}, target);
    renderTarget_ = target;
}

void RecordingDevice::setVertexBuffer(VertexBuffer* buffer)
{
    record("setVertexBuffer", {}, buffer);
    vertexBuffer_ = buffer;
}

void RecordingDevice::setIndexBuffer(IndexBuffer* buffer)
{
    record("setIndexBuffer", {}, buffer);
    indexBuffer_ = buffer;
}

int RecordingDevice::textureStage() { return stage_; }

void RecordingDevice::setTextureStage(int stage)
{
    record("setTextureStage", {double(stage)});
    stage_ = stage;
}

void RecordingDevice::setTexture(Texture* texture)
{
    record("setTexture", {double(stage_)}, texture);
    if (stage_ == 0 || stage_ == 1)
        textures_[stage_] = texture;
}

Texture* RecordingDevice::boundTexture(int stage) const
{
    return (stage == 0 || stage == 1) ? textures_[stage] : nullptr;
}

void RecordingDevice::setStencilRef(int ref) { record("setStencilRef", {double(ref)}); }
void RecordingDevice::setStencilMask(uint32_t mask) { record("setStencilMask", {double(mask)}); }

void RecordingDevice::setStencilOp(int fail, int depthFail, int pass)
{
    record("setStencilOp", {double(fail), double(depthFail), double(pass)});
}

void RecordingDevice::setStencilWriteMask(uint32_t mask)
{
    record("setStencilWriteMask", {double(mask)});
}

void RecordingDevice::setFogStart(float start) { record("setFogStart", {start}); }
void RecordingDevice::setFogEnd(float end) { record("setFogEnd", {end}); }
void RecordingDevice::setFogDensity(float density) { record("setFogDensity", {density}); }
void RecordingDevice::setFogColor(float r, float g, float b) { record("setFogColor", {r, g, b}); }
void RecordingDevice::setAmbient(float r, float g, float b) { record("setAmbient", {r, g, b}); }

void RecordingDevice::setLight(Light* light, bool enable)
{
    record("setLight", {double(light ? light->index() : -1), double(enable)}, light);
}

void RecordingDevice::setRenderState(int type, int value)
{
    renderStates_.set(type, value);
    record("setRenderState", {double(type), double(value)});
}

int RecordingDevice::getRenderState(int type)
{
    return renderStates_.get(type);
}

void RecordingDevice::pushRenderStates()
{
    record("pushRenderStates");
    renderStates_.push();
}

void RecordingDevice::popRenderStates()
{
    record("popRenderStates");
    renderStates_.pop();
}

void RecordingDevice::beginFrame() { record("beginFrame"); }
void RecordingDevice::endFrame() { record("endFrame"); }

// --- the log ---

int RecordingDevice::count(const char* name) const
{
    int n = 0;
    for (const DeviceCall& call : calls_)
        if (call.is(name))
            ++n;
    return n;
}

const DeviceCall* RecordingDevice::find(const char* name, int nth) const
{
    for (const DeviceCall& call : calls_)
        if (call.is(name) && nth-- == 0)
            return &call;
    return nullptr;
}

const DeviceCall* RecordingDevice::last(const char* name) const
{
    for (auto it = calls_.rbegin(); it != calls_.rend(); ++it)
        if (it->is(name))
            return &*it;
    return nullptr;
}

std::vector<const DeviceCall*> RecordingDevice::callsNamed(const char* name) const
{
    std::vector<const DeviceCall*> result;
    for (const DeviceCall& call : calls_)
        if (call.is(name))
            result.push_back(&call);
    return result;
}

std::string RecordingDevice::dump() const
{
    std::ostringstream out;
    for (const DeviceCall& call : calls_) {
        out << call.name << '(';
        for (int i = 0; i < call.argCount; ++i)
            out << (i ? ", " : "") << call.args[i];
        if (call.object)
            out << (call.argCount ? ", " : "") << call.object;
        out << ")\n";
    }
    return out.str();
}
