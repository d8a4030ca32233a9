#include "GlDevice.h"

#include "Console.h"
#include "CursorPicture.h"
#include "GlDisplayInfo.h"
#include "GlIndexBuffer.h"
#include "GlInput.h"
#include "GlTexture.h"
#include "GlVertexBuffer.h"
#include "Light.h"
#include "Matrix4.h"
#include "RenderState.h"
#include "SwapInterval.h"
#include "Vertex.h"

#include <GL/glew.h>
#include <SDL/SDL.h>

#ifdef __linux__
#include <dlfcn.h>
#include <link.h>
#endif

#include <cstddef>
#include <cstdio>
#include <cstring>

namespace {

const float byteScale = 1.0f / 255.0f;

// OpenGL takes column-major arrays, Matrix4 is row by row.
Matrix4 transposeMatrix(const Matrix4& source)
{
    Matrix4 result;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            result.m[4 * r + c] = source.m[4 * c + r];
    return result;
}

GLenum compareFunction(int value, int first)
{
    static const GLenum functions[] = {GL_LESS, GL_LEQUAL, GL_EQUAL, GL_GEQUAL,
                                       GL_GREATER, GL_NOTEQUAL, GL_ALWAYS};
    return functions[value - first];
}

GLenum stencilOperation(int op)
{
    switch (op) {
    case StencilOp::zero: return GL_ZERO;
    case StencilOp::replace: return GL_REPLACE;
    case StencilOp::increment: return GL_INCR;
    case StencilOp::decrement: return GL_DECR;
    case StencilOp::invert: return GL_INVERT;
    default: return GL_KEEP;
    }
}

const unsigned char* offset(const unsigned char* base, size_t bytes)
{
    // With a buffer object bound, base is null and the "pointer" is a byte
    // offset into the buffer.
    return reinterpret_cast<const unsigned char*>(reinterpret_cast<uintptr_t>(base) + bytes);
}

// Mesa unloads its driver whenever SDL closes the display and loads it again
// for the next window (getDisplayInfo before run does both). Keeping it
// loaded for the rest of the process spares that, and keeps what the
// driver allocated attributable to it in leak reports.
void keepDriverLoaded()
{
#ifdef __linux__
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void*) {
            const char* name = info->dlpi_name;
            if (name && (std::strstr(name, "/dri/") || std::strstr(name, "gallium")))
                dlopen(name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
            return 0;
        },
        nullptr);
#endif
}

} // namespace

// Routes the held keys of a loop turn to the game and the console.
class GlDevice::HeldKeyReceiver : public KeyReceiver {
public:
    explicit HeldKeyReceiver(GlDevice& device) : device_(device) {}
    void gameKey(int key) override { device_.onKey(key); }
    bool hasConsole() override { return device_.console_ != nullptr; }
    bool consoleVisible() override { return device_.console_ && device_.console_->isVisible(); }
    void consoleKey(int key) override
    {
        if (device_.console_)
            device_.console_->onKey(key);
    }

private:
    GlDevice& device_;
};

GlDevice::GlDevice()
    : quit_(false),
      width_(0),
      height_(0),
      extensionsInitialised_(false),
      extensionsCapable_(false),
      extensionsInUse_(false),
      console_(nullptr),
      mouseX_(0),
      mouseY_(0),
      matrixMode_(1),
      primitivesDrawn_(0),
      renderTarget_(nullptr),
      clearColor_(0),
      renderStates_(this),
      textureStage_(0),
      stencilRef_(0),
      stencilMask_(0xFFFFFFFFu),
      vertexArrayBase_(nullptr),
      indexArrayBase_(nullptr),
      boundVertexBuffer_(nullptr),
      boundIndexBuffer_(nullptr),
      cursor_(nullptr),
      maxLights_(8),
      bgraColorArrays_(false)
{
    Device::setInstance(this);
}

GlDevice::~GlDevice()
{
    // run has deleted the resources already; the registry only frees its
    // lists. A cursor is left only when run never got to shut SDL down.
    if (cursor_ && SDL_WasInit(SDL_INIT_VIDEO))
        SDL_FreeCursor(cursor_);
}

GlDevice* GlDevice::current()
{
    return dynamic_cast<GlDevice*>(Device::instance());
}

bool GlDevice::contextAlive()
{
    if (!SDL_WasInit(SDL_INIT_VIDEO))
        return false;
    SDL_Surface* screen = SDL_GetVideoSurface();
    return screen && (screen->flags & SDL_OPENGL);
}

// ---------------------------------------------------------------- life ---

int GlDevice::run(int width, int height, bool fullscreen, const std::string& title,
                  bool vsync, bool useExtensions)
{
    width_ = width;
    height_ = height;
    // Cleared before onInit, so a quit asked for while loading is kept.
    quit_ = false;

    if (SDL_Init(SDL_INIT_VIDEO) < 0) {
        std::fprintf(stderr, "racer_gl: SDL cannot start its video subsystem: %s\n", SDL_GetError());
        return 1;
    }

    const uint8_t* cursorData = nullptr;
    const uint8_t* cursorMask = nullptr;
    int hotX = 0;
    int hotY = 0;
    decodeCursorPicture(&cursorData, &cursorMask, &hotX, &hotY);
    setCursor(cursorData, cursorMask, hotX, hotY);

    const SDL_VideoInfo* videoInfo = SDL_GetVideoInfo();
    const int bitsPerPixel = videoInfo && videoInfo->vfmt ? videoInfo->vfmt->BitsPerPixel : 0;
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
    SDL_WM_SetCaption(title.c_str(), nullptr);

    Uint32 flags = SDL_OPENGL;
    if (fullscreen)
        flags |= SDL_FULLSCREEN;
    if (!SDL_SetVideoMode(width, height, bitsPerPixel, flags)) {
        std::fprintf(stderr, "racer_gl: cannot open a %d x %d OpenGL window: %s\n",
                     width, height, SDL_GetError());
        SDL_FreeCursor(cursor_);
        cursor_ = nullptr;
        SDL_Quit();
        return 1;
    }
    if (!glGetString(GL_VERSION)) {
        std::fprintf(stderr, "racer_gl: the OpenGL driver answers no version: no usable context\n");
        SDL_FreeCursor(cursor_);
        cursor_ = nullptr;
        SDL_Quit();
        return 1;
    }

    initExtensions();
    if (extensionsCapable() && !setSwapInterval(vsync ? 1 : 0) && vsync)
        std::fprintf(stderr, "racer_gl: the driver does not synchronise frames with the display\n");
    if (!useExtensions)
        setUseExtensions(false);

    renderStates_.reset();
    onInit();
    if (console_)
        console_->createGraphics();

    do {
        pollEvents();
        stepFrame();
    } while (!quit_);

    if (console_) {
        console_->releaseGraphics();
        console_ = nullptr;
    }
    onShutdown();
    releaseAllResources();

    SDL_FreeCursor(cursor_);
    cursor_ = nullptr;
    SDL_Quit();
    return 0;
}

void GlDevice::stepFrame()
{
    const float elapsed = clock_.tick(ticks());
    primitivesDrawn_ = 0;
    beginFrame();
    renderTarget_ = nullptr;
    setRenderTarget(nullptr);
    setTextureStage(0);
    onFrame(elapsed);
    if (console_)
        console_->draw(elapsed);
    endFrame();
}

uint32_t GlDevice::ticks()
{
    return SDL_GetTicks();
}

void GlDevice::pollEvents()
{
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        if (takeEvent(event, mouseX_, mouseY_))
            quit_ = true;
    }
    pollKeys();
}

void GlDevice::pollKeys()
{
    int keyCount = 0;
    const Uint8* keys = SDL_GetKeyState(&keyCount);
    const Uint8 buttons = SDL_GetMouseState(nullptr, nullptr);
    HeldKeyReceiver receiver(*this);
    if (deliverHeldKeys(keys, keyCount, buttons, receiver))
        quit_ = true;
}

void GlDevice::onInit() {}
void GlDevice::onFrame(float) {}
void GlDevice::onKey(int) {}
void GlDevice::onShutdown() {}
void GlDevice::beginFrame() {}

void GlDevice::endFrame()
{
    SDL_GL_SwapBuffers();
}

void GlDevice::requestQuit()
{
    quit_ = true;
}

int GlDevice::width() { return width_; }
int GlDevice::height() { return height_; }
int GlDevice::fps() { return clock_.fps(); }
int GlDevice::primitivesDrawn() { return primitivesDrawn_; }

void GlDevice::setConsole(Console* console)
{
    console_ = console;
}

// ---------------------------------------------------------- extensions ---

bool GlDevice::ensureExtensions()
{
    if (extensionsInitialised_)
        return true;
    if (!contextAlive())
        return false;   // try again once there is a context
    extensionsInitialised_ = true;
    keepDriverLoaded();
    const GLenum result = glewInit();
    if (result != GLEW_OK) {
        std::fprintf(stderr, "racer_gl: cannot load the OpenGL extensions (%s); drawing with OpenGL 1.1\n",
                     reinterpret_cast<const char*>(glewGetErrorString(result)));
    }
    extensionsCapable_ = result == GLEW_OK
        && glGenBuffersARB && glDeleteBuffersARB && glBindBufferARB && glBufferDataARB
        && glMultiTexCoord2fARB && glActiveTextureARB && glClientActiveTextureARB
        && swapIntervalAvailable();
    extensionsInUse_ = extensionsCapable_;
    bgraColorArrays_ = result == GLEW_OK && GLEW_ARB_vertex_array_bgra;
    GLint lights = 8;
    glGetIntegerv(GL_MAX_LIGHTS, &lights);
    maxLights_ = lights;
    return true;
}

void GlDevice::initExtensions()
{
    ensureExtensions();
    extensionsInUse_ = extensionsCapable();
}

bool GlDevice::extensionsCapable()
{
    ensureExtensions();
    return extensionsCapable_;
}

bool GlDevice::useExtensions()
{
    return extensionsInUse_;
}

void GlDevice::setUseExtensions(bool on)
{
    ensureExtensions();
    extensionsInUse_ = on && extensionsCapable_;
}

void GlDevice::getDisplayInfo(DisplayInfo& out)
{
    bool startedHere = false;
    if (!SDL_WasInit(SDL_INIT_VIDEO)) {
        if (SDL_Init(SDL_INIT_VIDEO) < 0) {
            std::fprintf(stderr, "racer_gl: SDL cannot start its video subsystem: %s\n", SDL_GetError());
            fillDisplayInfo(out, "", "", "", "", false, nullptr);
            return;
        }
        startedHere = true;
        if (!SDL_SetVideoMode(640, 480, 32, SDL_OPENGL)) {
            std::fprintf(stderr, "racer_gl: cannot open an OpenGL window: %s\n", SDL_GetError());
            fillDisplayInfo(out, "", "", "", "", false, nullptr);
            SDL_Quit();
            return;
        }
    }
    SDL_PixelFormat format = {};
    format.BitsPerPixel = 32;
    fillDisplayInfo(out,
                    reinterpret_cast<const char*>(glGetString(GL_VENDOR)),
                    reinterpret_cast<const char*>(glGetString(GL_RENDERER)),
                    reinterpret_cast<const char*>(glGetString(GL_VERSION)),
                    reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS)),
                    extensionsCapable(),
                    SDL_ListModes(&format, SDL_FULLSCREEN | SDL_HWSURFACE));
    if (startedHere)
        SDL_Quit();
}

// ----------------------------------------------------------- resources ---

IndexBuffer* GlDevice::createIndexBuffer(bool dynamic, int count)
{
    GlIndexBuffer* buffer = createGlIndexBuffer(dynamic, count);
    if (buffer)
        resources_.addIndexBuffer(buffer);
    return buffer;
}

VertexBuffer* GlDevice::createVertexBuffer(bool dynamic, int count)
{
    GlVertexBuffer* buffer = createGlVertexBuffer(dynamic, count);
    if (buffer)
        resources_.addVertexBuffer(buffer);
    return buffer;
}

Texture* GlDevice::createTexture(bool renderTarget, const uint32_t* pixels, int width, int height)
{
    GlTexture* texture = createGlTexture(renderTarget, pixels, width, height);
    if (texture)
        resources_.addTexture(texture);
    return texture;
}

Light* GlDevice::createLight()
{
    return resources_.createLight();
}

void GlDevice::forgetLight(Light* light)
{
    resources_.forgetLight(light);
}

void GlDevice::forgetTexture(Texture* texture)
{
    if (renderTarget_ == texture)
        renderTarget_ = nullptr;
    resources_.forgetTexture(texture);
}

void GlDevice::forgetVertexBuffer(VertexBuffer* buffer)
{
    if (boundVertexBuffer_ == buffer) {
        boundVertexBuffer_ = nullptr;
        vertexArrayBase_ = nullptr;
    }
    resources_.forgetVertexBuffer(buffer);
}

void GlDevice::forgetIndexBuffer(IndexBuffer* buffer)
{
    if (boundIndexBuffer_ == buffer) {
        boundIndexBuffer_ = nullptr;
        indexArrayBase_ = nullptr;
    }
    resources_.forgetIndexBuffer(buffer);
}

void GlDevice::releaseAllResources()
{
    resources_.releaseAll();
}

// --------------------------------------------------------------- mouse ---

void GlDevice::setMousePosition(int x, int y)
{
    SDL_WarpMouse(static_cast<Uint16>(x < 0 ? 0 : x), static_cast<Uint16>(y < 0 ? 0 : y));
}

void GlDevice::getMousePosition(int* x, int* y)
{
    if (x)
        *x = mouseX_;
    if (y)
        *y = mouseY_;
}

void GlDevice::setCursor(const uint8_t* data, const uint8_t* mask, int hotX, int hotY)
{
    if (!data || !mask) {
        std::fprintf(stderr, "racer_gl: a mouse pointer without its picture was not set\n");
        return;
    }
    SDL_Cursor* cursor = SDL_CreateCursor(const_cast<Uint8*>(data), const_cast<Uint8*>(mask),
                                          32, 32, hotX, hotY);
    if (!cursor) {
        std::fprintf(stderr, "racer_gl: cannot create the mouse pointer: %s\n", SDL_GetError());
        return;
    }
    SDL_SetCursor(cursor);
    if (cursor_)
        SDL_FreeCursor(cursor_);
    cursor_ = cursor;
}

// ------------------------------------------------- matrices, viewport ---

void GlDevice::setViewport(int x, int y, int width, int height)
{
    glViewport(x, height_ - y - height, width, height);
}

void GlDevice::setMatrixMode(int mode)
{
    matrixMode_ = mode;
    glMatrixMode(mode == 0 ? GL_PROJECTION : GL_MODELVIEW);
}

int GlDevice::matrixMode()
{
    return matrixMode_;
}

void GlDevice::getMatrix(Matrix4& out)
{
    Matrix4 columns;
    glGetFloatv(matrixMode_ == 0 ? GL_PROJECTION_MATRIX : GL_MODELVIEW_MATRIX, columns.m);
    out = transposeMatrix(columns);
}

void GlDevice::pushMatrix() { glPushMatrix(); }
void GlDevice::popMatrix() { glPopMatrix(); }
void GlDevice::loadIdentity() { glLoadIdentity(); }

void GlDevice::loadMatrix(const Matrix4& m)
{
    const Matrix4 columns = transposeMatrix(m);
    glLoadMatrixf(columns.m);
}

void GlDevice::multMatrix(const Matrix4& m)
{
    const Matrix4 columns = transposeMatrix(m);
    glMultMatrixf(columns.m);
}

void GlDevice::rotate(float angleDegrees, float x, float y, float z) { glRotatef(angleDegrees, x, y, z); }
void GlDevice::translate(float x, float y, float z) { glTranslatef(x, y, z); }
void GlDevice::scale(float x, float y, float z) { glScalef(x, y, z); }

// ------------------------------------------------- clearing, drawing ---

void GlDevice::setClearColor(uint32_t rgb)
{
    clearColor_ = rgb;
}

void GlDevice::clear(int flags)
{
    glClearColor(((clearColor_ >> 16) & 0xFF) * byteScale, ((clearColor_ >> 8) & 0xFF) * byteScale,
                 (clearColor_ & 0xFF) * byteScale, 0.0f);
    glClearDepth(1.0);
    GLbitfield mask = 0;
    if (flags & ClearFlags::color)
        mask |= GL_COLOR_BUFFER_BIT;
    if (flags & ClearFlags::depth)
        mask |= GL_DEPTH_BUFFER_BIT;
    if (flags & ClearFlags::stencil)
        mask |= GL_STENCIL_BUFFER_BIT;
    if (mask)
        glClear(mask);
}

void GlDevice::drawTriangle(const Vertex v[3])
{
    if (!v)
        return;
    glBegin(GL_TRIANGLES);
    for (int i = 0; i < 3; ++i) {
        const Vertex& vertex = v[i];
        glColor3f(((vertex.color >> 16) & 0xFF) * byteScale, ((vertex.color >> 8) & 0xFF) * byteScale,
                  (vertex.color & 0xFF) * byteScale);
        glNormal3f(vertex.nx, vertex.ny, vertex.nz);
        if (extensionsInUse_) {
            glMultiTexCoord2fARB(GL_TEXTURE0_ARB, vertex.u1, vertex.v1);
            glMultiTexCoord2fARB(GL_TEXTURE1_ARB, vertex.u2, vertex.v2);
        } else {
            glTexCoord2f(vertex.u1, vertex.v1);
        }
        glVertex3f(vertex.x, vertex.y, vertex.z);
    }
    glEnd();
    primitivesDrawn_ += 1;
}

void GlDevice::drawIndexed(int, int, int startIndex, int indexCount)
{
    if (!boundVertexBuffer_ || !boundIndexBuffer_ || indexCount <= 0)
        return;
    if (startIndex < 0 || startIndex > boundIndexBuffer_->count() - indexCount) {
        std::fprintf(stderr, "racer_gl: indices %d to %d lie outside the index buffer of %d; not drawn\n",
                     startIndex, startIndex + indexCount - 1, boundIndexBuffer_->count());
        return;
    }
    glDrawElements(GL_TRIANGLES, indexCount, GL_UNSIGNED_INT,
                   offset(indexArrayBase_, static_cast<size_t>(startIndex) * sizeof(uint32_t)));
    primitivesDrawn_ += indexCount;
}

void GlDevice::drawStrip(int firstVertex, int count)
{
    if (!boundVertexBuffer_ || count <= 0)
        return;
    if (firstVertex < 0 || firstVertex > boundVertexBuffer_->count() - count) {
        std::fprintf(stderr, "racer_gl: vertices %d to %d lie outside the vertex buffer of %d; not drawn\n",
                     firstVertex, firstVertex + count - 1, boundVertexBuffer_->count());
        return;
    }
    glDrawArrays(GL_TRIANGLE_STRIP, firstVertex, count);
    primitivesDrawn_ += count + 2;
}

void GlDevice::setRenderTarget(Texture* target)
{
    if (renderTarget_) {
        // OpenGL always draws into the back buffer: the frame drawn for the
        // texture becomes its picture now.
        GLint bound = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        glBindTexture(GL_TEXTURE_2D, static_cast<GlTexture*>(renderTarget_)->name());
        glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 0, 0, renderTarget_->textureWidth(),
                         renderTarget_->textureHeight(), 0);
        glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(bound));
    }
    renderTarget_ = target;
    if (target)
        glViewport(0, 0, target->width(), target->height());
    else
        glViewport(0, 0, width_, height_);
}

// -------------------------------------------------------------- buffers ---

void GlDevice::setVertexBuffer(VertexBuffer* buffer)
{
    boundVertexBuffer_ = buffer;
    vertexArrayBase_ = nullptr;
    if (!buffer) {
        glDisableClientState(GL_VERTEX_ARRAY);
        glDisableClientState(GL_NORMAL_ARRAY);
        return;
    }
    GlVertexBuffer* glBuffer = static_cast<GlVertexBuffer*>(buffer);
    if (buffer->isDynamic()) {
        vertexArrayBase_ = reinterpret_cast<const unsigned char*>(glBuffer->lock());
        // Client memory must not be read as offsets into a buffer object.
        if (extensionsCapable_)
            glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
    } else {
        glBindBufferARB(GL_ARRAY_BUFFER_ARB, glBuffer->name());
    }
    const unsigned char* base = vertexArrayBase_;
    const GLsizei stride = sizeof(Vertex);
    // Colour words are 0xAARRGGBB, B, G, R, A in memory: read as BGRA when
    // the driver can, so vertex colours come out as written.
    glColorPointer(bgraColorArrays_ ? GL_BGRA : 4, GL_UNSIGNED_BYTE, stride,
                   offset(base, offsetof(Vertex, color)));
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, stride, offset(base, offsetof(Vertex, x)));
    glEnableClientState(GL_NORMAL_ARRAY);
    glNormalPointer(GL_FLOAT, stride, offset(base, offsetof(Vertex, nx)));
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    if (extensionsInUse_) {
        const int stage = textureStage_;
        for (int s = 0; s < 2; ++s) {
            setTextureStage(s);
            glTexCoordPointer(2, GL_FLOAT, stride, offset(base, offsetof(Vertex, u1) + 8 * s));
        }
        setTextureStage(stage);
    } else {
        glTexCoordPointer(2, GL_FLOAT, stride, offset(base, offsetof(Vertex, u1)));
    }
}

void GlDevice::setIndexBuffer(IndexBuffer* buffer)
{
    boundIndexBuffer_ = buffer;
    indexArrayBase_ = nullptr;
    if (!buffer)
        return;
    GlIndexBuffer* glBuffer = static_cast<GlIndexBuffer*>(buffer);
    if (buffer->isDynamic()) {
        indexArrayBase_ = reinterpret_cast<const unsigned char*>(glBuffer->lock());
        if (extensionsCapable_)
            glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, 0);
    } else {
        glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, glBuffer->name());
    }
}

// ------------------------------------------------------------- textures ---

int GlDevice::textureStage()
{
    return textureStage_;
}

void GlDevice::setTextureStage(int stage)
{
    textureStage_ = stage;
    if (extensionsInUse_ && (stage == 0 || stage == 1)) {
        glActiveTextureARB(GL_TEXTURE0_ARB + stage);
        glClientActiveTextureARB(GL_TEXTURE0_ARB + stage);
    }
}

void GlDevice::setTexture(Texture* texture)
{
    // Without the multitexture extension OpenGL has one unit, and it holds
    // stage 0: a second stage's texture would replace the part's own
    // picture (a floor would show only its detail texture), so stages
    // above 0 leave the unit alone. Their blend and texture modes were
    // never queued (setRenderState), so nothing of theirs waits for the
    // next texture of stage 0 either.
    if (singleUnitElsewhere())
        return;
    if (texture) {
        glBindTexture(GL_TEXTURE_2D, static_cast<GlTexture*>(texture)->name());
        glEnable(GL_TEXTURE_2D);
    } else {
        glDisable(GL_TEXTURE_2D);
    }
    glColor3f(1.0f, 1.0f, 1.0f);
    // Wrap modes live in the texture object and the environment in the
    // unit: the blend and texture modes chosen before now reach both.
    renderStates_.applyPending();
}

// ------------------------------------------------- stencil, fog, lights ---

void GlDevice::setStencilRef(int ref) { stencilRef_ = ref; }
void GlDevice::setStencilMask(uint32_t mask) { stencilMask_ = mask; }
void GlDevice::setStencilWriteMask(uint32_t mask) { glStencilMask(mask); }

void GlDevice::setStencilOp(int fail, int depthFail, int pass)
{
    glStencilOp(stencilOperation(fail), stencilOperation(depthFail), stencilOperation(pass));
}

void GlDevice::setFogStart(float start) { glFogf(GL_FOG_START, start); }
void GlDevice::setFogEnd(float end) { glFogf(GL_FOG_END, end); }
void GlDevice::setFogDensity(float density) { glFogf(GL_FOG_DENSITY, density); }

void GlDevice::setFogColor(float r, float g, float b)
{
    const GLfloat color[4] = {r, g, b, 1.0f};
    glFogfv(GL_FOG_COLOR, color);
}

void GlDevice::setAmbient(float r, float g, float b)
{
    const GLfloat color[4] = {r, g, b, 1.0f};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, color);
}

void GlDevice::setLight(Light* light, bool enable)
{
    if (!light)
        return;
    const int index = light->index();
    if (index < 0 || index >= maxLights_) {
        std::fprintf(stderr, "racer_gl: light %d is beyond the driver's %d lights; ignored\n",
                     index, maxLights_);
        return;
    }
    const GLenum number = GL_LIGHT0 + index;
    if (!enable) {
        glDisable(number);
        // Lighting stays on while any registered light is still enabled.
        for (Light* other : resources_.lights()) {
            if (other && other->index() >= 0 && other->index() < maxLights_
                && glIsEnabled(GL_LIGHT0 + other->index()))
                return;
        }
        glDisable(GL_LIGHTING);
        return;
    }

    const LightDesc& desc = light->desc();
    const GLfloat color[4] = {desc.color[0], desc.color[1], desc.color[2], 1.0f};
    glEnable(GL_LIGHTING);
    glMaterialfv(GL_FRONT, GL_AMBIENT, color);
    glMaterialfv(GL_FRONT, GL_DIFFUSE, color);
    const GLfloat point[4] = {desc.position[0], desc.position[1], desc.position[2], 1.0f};
    switch (desc.type) {
    case 0: {
        const GLfloat direction[4] = {-desc.direction[0], -desc.direction[1], desc.direction[2], 0.0f};
        glLightfv(number, GL_POSITION, direction);
        glLightfv(number, GL_DIFFUSE, color);
        break;
    }
    case 1: {
        const GLfloat direction[3] = {-desc.direction[0], -desc.direction[1], desc.direction[2]};
        glLightfv(number, GL_DIFFUSE, color);
        glLightfv(number, GL_POSITION, point);
        glLightfv(number, GL_SPOT_DIRECTION, direction);
        glLightfv(number, GL_CONSTANT_ATTENUATION, &desc.constantAttenuation);
        glLightf(number, GL_SPOT_CUTOFF, 45.0f);
        glLightf(number, GL_SPOT_EXPONENT, 25.0f);
        break;
    }
    case 2:
        glLightfv(number, GL_DIFFUSE, color);
        glLightfv(number, GL_POSITION, point);
        glLightfv(number, GL_LINEAR_ATTENUATION, &desc.linearAttenuation);
        break;
    default:
        break;
    }
    glEnable(number);
}

// -------------------------------------------------------- render states ---

bool GlDevice::singleUnitElsewhere() const
{
    return !extensionsInUse_ && textureStage_ > 0;
}

void GlDevice::setRenderState(int type, int value)
{
    const std::size_t queued = renderStates_.pending().size();
    renderStates_.set(type, value);
    // A stage without a unit of its own keeps none of its blend and texture
    // modes for a later replay: that replay would come with stage 0's
    // texture and apply them by stage 0's rules.
    if (singleUnitElsewhere())
        renderStates_.truncatePending(queued);
    switch (type) {
    case RenderStateType::depthTest:
        if (value == RenderStateValue::depthOff) {
            glDepthFunc(GL_NEVER);
            glDisable(GL_DEPTH_TEST);
        } else if (value >= RenderStateValue::depthLess && value <= RenderStateValue::depthAlways) {
            glDepthFunc(compareFunction(value, RenderStateValue::depthLess));
            glEnable(GL_DEPTH_TEST);
        }
        break;
    case RenderStateType::stencilTest:
        if (value == RenderStateValue::stencilOff) {
            glDisable(GL_STENCIL_TEST);
        } else if (value >= RenderStateValue::stencilLess && value <= RenderStateValue::stencilAlways) {
            glEnable(GL_STENCIL_TEST);
            glStencilFunc(compareFunction(value, RenderStateValue::stencilLess), stencilRef_, stencilMask_);
        }
        break;
    case RenderStateType::cullMode:
        if (value == RenderStateValue::cullNone) {
            glDisable(GL_CULL_FACE);
        } else if (value == RenderStateValue::cullClockwise || value == RenderStateValue::cullCounterClockwise) {
            glEnable(GL_CULL_FACE);
            glCullFace(GL_BACK);
            glFrontFace(value == RenderStateValue::cullClockwise ? GL_CCW : GL_CW);
        }
        break;
    case RenderStateType::blendMode:
        // A second stage's combination has no unit of its own to act on.
        if (singleUnitElsewhere() && value != RenderStateValue::blendOff)
            break;
        switch (value) {
        case RenderStateValue::blendOff:
            glDisable(GL_BLEND);
            glDisableClientState(GL_COLOR_ARRAY);
            break;
        case RenderStateValue::blendAdditive:
            if (textureStage_ == 0) {
                glEnableClientState(GL_COLOR_ARRAY);
                glEnable(GL_BLEND);
                glBlendFunc(GL_SRC_ALPHA, GL_ONE);
            } else {
                glDisableClientState(GL_COLOR_ARRAY);
                glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_ADD);
            }
            break;
        case RenderStateValue::blendMultiplicative:
            if (textureStage_ == 0) {
                glEnableClientState(GL_COLOR_ARRAY);
                glEnable(GL_BLEND);
                glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_COLOR);
            } else {
                glDisableClientState(GL_COLOR_ARRAY);
                if (GLEW_ARB_texture_env_combine) {
                    // Result of the stages before minus this stage's texture.
                    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE_ARB);
                    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB_ARB, GL_SUBTRACT_ARB);
                    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_RGB_ARB, GL_PREVIOUS_ARB);
                    glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_RGB_ARB, GL_SRC_COLOR);
                    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE1_RGB_ARB, GL_TEXTURE);
                    glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND1_RGB_ARB, GL_SRC_COLOR);
                    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_ALPHA_ARB, GL_REPLACE);
                    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_ALPHA_ARB, GL_PREVIOUS_ARB);
                    glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_ALPHA_ARB, GL_SRC_ALPHA);
                }
            }
            break;
        case RenderStateValue::blendAlpha:
            glEnableClientState(GL_COLOR_ARRAY);
            if (textureStage_ == 0) {
                glEnable(GL_BLEND);
                glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
            }
            break;
        case RenderStateValue::blendModulate:
            glDisableClientState(GL_COLOR_ARRAY);
            if (textureStage_ != 0) {
                // This stage's texture times the result of the stages before.
                glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
            }
            break;
        default:
            break;
        }
        break;
    case RenderStateType::textureMode:
        if (singleUnitElsewhere())
            break;
        glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
        glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glDisable(GL_TEXTURE_GEN_S);
        glDisable(GL_TEXTURE_GEN_T);
        if (value == RenderStateValue::textureClamp) {
            glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
            glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        } else if (value == RenderStateValue::textureSphereMap) {
            glDisableClientState(GL_TEXTURE_COORD_ARRAY);
            glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
            glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
            glEnable(GL_TEXTURE_GEN_S);
            glEnable(GL_TEXTURE_GEN_T);
        }
        break;
    case RenderStateType::fillMode:
        glPolygonMode(GL_FRONT_AND_BACK, value == RenderStateValue::fillWireframe ? GL_LINE : GL_FILL);
        break;
    case RenderStateType::fogMode:
        if (value == RenderStateValue::fogOff) {
            glDisable(GL_FOG);
        } else if (value >= RenderStateValue::fogLinear && value <= RenderStateValue::fogExp2) {
            static const GLint modes[] = {GL_LINEAR, GL_EXP, GL_EXP2};
            glEnable(GL_FOG);
            glFogi(GL_FOG_MODE, modes[value - RenderStateValue::fogLinear]);
        }
        break;
    default:
        break;
    }
}

int GlDevice::getRenderState(int type)
{
    return renderStates_.get(type);
}

void GlDevice::pushRenderStates()
{
    renderStates_.push();
}

void GlDevice::popRenderStates()
{
    renderStates_.pop();
}
