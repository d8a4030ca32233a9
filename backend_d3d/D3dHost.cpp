#include "D3dHost.h"

#include <cstdio>

namespace {

const char windowClassName[] = "QuorinDirect3DWindow";
// WS_OVERLAPPEDWINDOW | WS_VISIBLE.
const DWORD windowStyle = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
const DWORD fullscreenStyle = WS_POPUP | WS_VISIBLE;
// The Direct3D 9 version the game is written for.
const UINT sdkVersion = 31;

// Vertex-processing kinds in the order they are offered; a later accepted
// kind is preferred over an earlier one.
const DWORD vertexProcessingKinds[] = {
    D3DCREATE_SOFTWARE_VERTEXPROCESSING,
    D3DCREATE_MIXED_VERTEXPROCESSING,
    D3DCREATE_HARDWARE_VERTEXPROCESSING,
    D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_PUREDEVICE,
};

bool kindSupported(const D3DCAPS9& caps, DWORD kind)
{
    if (kind == D3DCREATE_SOFTWARE_VERTEXPROCESSING)
        return true;
    if (!(caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT))
        return false;
    return !(kind & D3DCREATE_PUREDEVICE) || (caps.DevCaps & D3DDEVCAPS_PUREDEVICE);
}

} // namespace

D3dHost::D3dHost()
    : creationWidth_(640),
      creationHeight_(480),
      startFullscreen_(false),
      useDepthBuffer_(false),
      showCursorWhenFullscreen_(false),
      vsync_(false),
      cursor_(nullptr),
      classCursor_(nullptr),
      instance_(nullptr),
      classRegistered_(false),
      window_(nullptr),
      direct3d_(nullptr),
      device_(nullptr),
      presentation_(),
      adapter_(0),
      deviceType_(D3DDEVTYPE_HAL),
      adapterFormat_(D3DFMT_UNKNOWN),
      behaviorFlags_(0),
      ready_(false),
      minimized_(false),
      inModalLoop_(false),
      programInFront_(false),
      active_(false),
      closing_(false),
      destroying_(false),
      windowMade_(false),
      deviceLost_(false),
      quitValue_(0),
      failed_(false),
      clientWidth_(640),
      clientHeight_(480),
      elapsedSeconds_(0.0f)
{
}

D3dHost::~D3dHost()
{
    // Normally run has closed everything. Whatever is left goes without the
    // hooks (the subclass is gone) and without a quit message, which would
    // end the next loop of this thread.
    destroying_ = true;
    ready_ = false;
    active_ = false;
    if (device_) {
        device_->Release();
        device_ = nullptr;
    }
    if (direct3d_) {
        direct3d_->Release();
        direct3d_ = nullptr;
    }
    if (window_)
        DestroyWindow(window_);
    unregisterClass();
    if (cursor_ && cursor_ != classCursor_)
        DestroyCursor(cursor_);
}

void D3dHost::setCreationSize(int width, int height)
{
    creationWidth_ = width;
    creationHeight_ = height;
}

void D3dHost::setWindowCursor(HCURSOR cursor)
{
    // The registered class keeps using its cursor until it is unregistered.
    if (cursor_ && cursor_ != classCursor_ && cursor_ != cursor)
        DestroyCursor(cursor_);
    cursor_ = cursor;
}

// --------------------------------------------------------------- hooks ---

HRESULT D3dHost::confirmDevice(const D3DCAPS9&, DWORD, D3DFORMAT) { return S_OK; }
HRESULT D3dHost::oneTimeSceneInit() { return S_OK; }
HRESULT D3dHost::initDeviceObjects() { return S_OK; }
HRESULT D3dHost::restoreDeviceObjects() { return S_OK; }
HRESULT D3dHost::frameMove() { return S_OK; }
HRESULT D3dHost::render() { return S_OK; }
HRESULT D3dHost::invalidateDeviceObjects() { return S_OK; }
HRESULT D3dHost::deleteDeviceObjects() { return S_OK; }
HRESULT D3dHost::finalCleanup() { return S_OK; }

LRESULT D3dHost::msgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return handleMessage(window, message, wParam, lParam);
}

int64_t D3dHost::counterTicks()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

int64_t D3dHost::counterFrequency()
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return frequency.QuadPart;
}

HWND D3dHost::foregroundWindow()
{
    return GetForegroundWindow();
}

void D3dHost::updateActivity()
{
    active_ = ready_ && !minimized_ && !inModalLoop_ && programInFront_;
    // A lost device draws no frame: its time belongs to none, as the time
    // of a minimise does.
    const bool running = active_ && !deviceLost_;
    if (running && clock_.paused())
        clock_.resume(counterTicks());
    else if (!running && !clock_.paused())
        clock_.pause(counterTicks());
}

// ------------------------------------------------------------- failures ---

void D3dHost::reportFailure(const char* text)
{
    std::fprintf(stderr, "racer_d3d: %s\n", text);
    MessageBoxA(window_, text, title_.c_str(), MB_OK | MB_ICONERROR);
}

void D3dHost::fail(const char* text)
{
    failed_ = true;
    quitValue_ = 1;
    // The device goes before the box is shown: a full-screen device holds
    // the screen, so the box would stay hidden behind the game; released,
    // it gives the desktop back. The window goes after the box: the quit
    // message its end posts would close a box shown later at once. The
    // window counts as closing from here on: a close asked for meanwhile
    // (by the game's shutdown, say) is this one.
    const bool closingAlready = closing_;
    closing_ = true;
    releaseDevice();
    // Direct3D made the full-screen window the topmost one; it stays so.
    if (window_ && startFullscreen_)
        SetWindowPos(window_, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    reportFailure(text);
    if (window_ && !closingAlready)
        DestroyWindow(window_);
}

void D3dHost::failWith(const char* text, HRESULT result)
{
    char message[256];
    std::snprintf(message, sizeof message, "%s (Direct3D error 0x%08lX)", text,
                  static_cast<unsigned long>(result));
    fail(message);
}

// --------------------------------------------------------------- create ---

HRESULT D3dHost::create(HINSTANCE instance)
{
    instance_ = instance;
    failed_ = false;
    quitValue_ = 0;
    closing_ = false;
    deviceLost_ = false;
    behaviorFlags_ = 0;
    inModalLoop_ = false;
    programInFront_ = false;

    direct3d_ = Direct3DCreate9(sdkVersion);
    if (!direct3d_) {
        fail("Direct3D 9 cannot be started on this computer.");
        return E_FAIL;
    }
    if (!chooseDevice()) {
        // Direct3D is released with the failure.
        fail("No Direct3D 9 device here can draw the game (32-bit colour with a 24-bit depth "
             "and 8-bit stencil buffer).");
        return E_FAIL;
    }

    WNDCLASSA windowClass = {};
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = windowProcedure;
    windowClass.hInstance = instance_;
    windowClass.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
    windowClass.hCursor = cursor_ ? cursor_ : LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = windowClassName;
    unregisterClass();
    if (RegisterClassA(&windowClass)) {
        classRegistered_ = true;
        classCursor_ = cursor_;
    }

    // The client area gets the creation size; the window is centred unless
    // it fills the screen.
    const DWORD style = startFullscreen_ ? fullscreenStyle : windowStyle;
    RECT frame = {0, 0, creationWidth_, creationHeight_};
    AdjustWindowRect(&frame, style, FALSE);
    const int frameWidth = frame.right - frame.left;
    const int frameHeight = frame.bottom - frame.top;
    int x = 0;
    int y = 0;
    if (!startFullscreen_) {
        x = (GetSystemMetrics(SM_CXSCREEN) - frameWidth) / 2;
        y = (GetSystemMetrics(SM_CYSCREEN) - frameHeight) / 2;
    }
    CreateWindowA(windowClassName, title_.c_str(), style, x, y, frameWidth, frameHeight,
                  nullptr, nullptr, instance_, this);
    if (!window_) {
        fail("The game's window cannot be opened.");
        return E_FAIL;
    }
    windowMade_ = true;
    // The program is in front when the foreground window is one of this
    // thread's (WM_ACTIVATEAPP tells of the changes between threads). A
    // window Windows did not bring to the front hears nothing until the
    // player clicks on it, so it must not count as in front meanwhile.
    const HWND front = foregroundWindow();
    programInFront_ = front && GetWindowThreadProcessId(front, nullptr) == GetCurrentThreadId();

    if (FAILED(oneTimeSceneInit())) {
        fail("The game cannot be prepared.");
        return E_FAIL;
    }
    HRESULT created = createDevice();
    while (created == D3DERR_DEVICELOST) {
        // The screen is not to be had now (locked while the game starts,
        // say): waited out as a device lost later is, asked again after
        // each pause. The frame clock has not started yet.
        if (!pauseWithoutDevice())
            return S_OK;   // the window was closed meanwhile
        created = createDevice();
    }
    if (FAILED(created)) {
        failWith("The Direct3D 9 device cannot be created", created);
        return E_FAIL;
    }
    if (FAILED(initDeviceObjects()) || (device_ && FAILED(restoreDeviceObjects()))) {
        fail("The game's Direct3D objects cannot be created.");
        return E_FAIL;
    }
    if (!device_)
        return S_OK;   // closed while the device objects were made

    clock_.start(counterFrequency(), counterTicks());
    ready_ = true;
    updateActivity();
    return S_OK;
}

bool D3dHost::chooseDevice()
{
    const D3DDEVTYPE types[] = {D3DDEVTYPE_HAL, D3DDEVTYPE_REF};
    const UINT adapters = direct3d_->GetAdapterCount();
    for (UINT adapter = 0; adapter < adapters; ++adapter) {
        D3DDISPLAYMODE desktop = {};
        if (FAILED(direct3d_->GetAdapterDisplayMode(adapter, &desktop)))
            continue;
        const D3DFORMAT format = startFullscreen_ ? D3DFMT_X8R8G8B8 : desktop.Format;
        for (D3DDEVTYPE type : types) {
            D3DCAPS9 caps = {};
            if (FAILED(direct3d_->GetDeviceCaps(adapter, type, &caps)))
                continue;
            if (FAILED(direct3d_->CheckDeviceType(adapter, type, format, format, !startFullscreen_)))
                continue;
            if (useDepthBuffer_
                && (FAILED(direct3d_->CheckDeviceFormat(adapter, type, format, D3DUSAGE_DEPTHSTENCIL,
                                                        D3DRTYPE_SURFACE, D3DFMT_D24S8))
                    || FAILED(direct3d_->CheckDepthStencilMatch(adapter, type, format, format,
                                                                D3DFMT_D24S8))))
                continue;
            DWORD chosen = 0;
            for (DWORD kind : vertexProcessingKinds) {
                if (kindSupported(caps, kind) && SUCCEEDED(confirmDevice(caps, kind, format)))
                    chosen = kind;
            }
            if (chosen) {
                adapter_ = adapter;
                deviceType_ = type;
                adapterFormat_ = format;
                behaviorFlags_ = chosen;
                return true;
            }
        }
    }
    return false;
}

HRESULT D3dHost::createDevice()
{
    presentation_ = D3DPRESENT_PARAMETERS();
    presentation_.BackBufferWidth = static_cast<UINT>(creationWidth_);
    presentation_.BackBufferHeight = static_cast<UINT>(creationHeight_);
    presentation_.BackBufferFormat = adapterFormat_;
    presentation_.BackBufferCount = 1;
    presentation_.SwapEffect = D3DSWAPEFFECT_DISCARD;
    presentation_.hDeviceWindow = window_;
    presentation_.Windowed = startFullscreen_ ? FALSE : TRUE;
    presentation_.EnableAutoDepthStencil = useDepthBuffer_ ? TRUE : FALSE;
    presentation_.AutoDepthStencilFormat = D3DFMT_D24S8;
    if (startFullscreen_) {
        presentation_.FullScreen_RefreshRateInHz = D3DPRESENT_RATE_DEFAULT;
        presentation_.PresentationInterval = vsync_ ? D3DPRESENT_INTERVAL_DEFAULT : D3DPRESENT_INTERVAL_IMMEDIATE;
    } else {
        presentation_.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    }
    const DWORD flags = behaviorFlags_ | D3DCREATE_FPU_PRESERVE;
    const HRESULT result = direct3d_->CreateDevice(adapter_, deviceType_, window_, flags,
                                                   &presentation_, &device_);
    if (FAILED(result)) {
        device_ = nullptr;
        return result;
    }
    behaviorFlags_ = flags;
    return S_OK;
}

// A pause of 100 ms before the device is asked for again, with the
// window's messages handled after it; false once the window is closing.
bool D3dHost::pauseWithoutDevice()
{
    Sleep(100);
    MSG message = {};
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // For run's loop, which ends on it.
            PostQuitMessage(static_cast<int>(message.wParam));
            return false;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return window_ && direct3d_ && !closing_;
}

// ------------------------------------------------------------------ run ---

int D3dHost::run()
{
    if (!windowMade_)
        return failed_ ? 1 : 0;
    MSG message = {};
    for (;;) {
        if (active_) {
            if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
                // Looking for messages can deliver sent ones (Wine hands on
                // the window manager's minimise that way): the window may
                // have become inactive meanwhile.
                if (!active_)
                    continue;
                // A lost device is asked again after a pause, not in a
                // busy loop.
                if (deviceLost_)
                    Sleep(100);
                renderFrame();
                continue;
            }
        } else {
            const BOOL got = GetMessageA(&message, nullptr, 0, 0);
            if (got == -1) {
                message.wParam = 1;
                break;
            }
        }
        if (message.message == WM_QUIT)
            break;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    windowMade_ = false;
    unregisterClass();
    return static_cast<int>(message.wParam);
}

void D3dHost::renderFrame()
{
    if (deviceLost_) {
        const HRESULT level = device_->TestCooperativeLevel();
        if (level == D3DERR_DEVICELOST)
            return;   // not yet to be had again: asked after the next pause
        if (level == D3DERR_DEVICENOTRESET) {
            const HRESULT reset = resetDevice();
            if (reset == D3DERR_DEVICELOST)
                return;   // lost again meanwhile: wait on
            if (FAILED(reset)) {
                failWith("The Direct3D device was lost and cannot be reset", reset);
                return;
            }
            failureName_.clear();
            const HRESULT restored = restoreDeviceObjects();
            if (FAILED(restored)) {
                // As a refused reset: the game cannot go on without it.
                const std::string text = "The Direct3D device was reset, but " +
                                         (failureName_.empty() ? std::string("the game's Direct3D objects")
                                                               : failureName_) +
                                         " cannot be made again";
                failWith(text.c_str(), restored);
                return;
            }
        } else if (FAILED(level)) {
            failWith("The Direct3D device stopped working", level);
            return;
        }
        deviceLost_ = false;
        updateActivity();
    }

    if (!clock_.tick(counterTicks()))
        return;   // no time has passed: no frame
    elapsedSeconds_ = clock_.elapsed();

    HRESULT result = frameMove();
    if (FAILED(result)) {
        if (device_)
            failWith("A frame of the game cannot be prepared", result);
        return;
    }
    if (!device_)
        return;   // closed inside the frame
    result = render();
    if (FAILED(result)) {
        if (device_)
            failWith("A frame of the game cannot be drawn", result);
        return;
    }
    if (!device_)
        return;
    result = present();
    if (FAILED(result) && result != D3DERR_DEVICELOST)
        failWith("Direct3D cannot show the game's frame", result);
}

HRESULT D3dHost::present()
{
    const HRESULT result = device_->Present(nullptr, nullptr, nullptr, nullptr);
    if (result == D3DERR_DEVICELOST && !deviceLost_) {
        // Another program or Windows took the screen (the screen locked, a
        // prompt on the secure desktop, a change of display mode): the
        // device is reset once it can be had again.
        deviceLost_ = true;
        updateActivity();
    }
    // Only this answer means the driver failed; any other is not the game's
    // to act on.
    return result == D3DERR_DRIVERINTERNALERROR || result == D3DERR_DEVICELOST ? result : S_OK;
}

// The default-pool objects are let go before the reset (Direct3D refuses
// it while any of them lives); the caller makes them again after it.
HRESULT D3dHost::resetDevice()
{
    invalidateDeviceObjects();
    return device_->Reset(&presentation_);
}

// -------------------------------------------------------------- closing ---

void D3dHost::releaseDevice()
{
    ready_ = false;
    updateActivity();
    if (!device_ && !direct3d_)
        return;   // released already (a failure, then the close)
    if (device_) {
        invalidateDeviceObjects();
        deleteDeviceObjects();
        device_->Release();
        device_ = nullptr;
    }
    if (direct3d_) {
        direct3d_->Release();
        direct3d_ = nullptr;
    }
    finalCleanup();
}

void D3dHost::unregisterClass()
{
    if (!classRegistered_ || window_)
        return;
    UnregisterClassA(windowClassName, instance_);
    classRegistered_ = false;
    if (classCursor_ && classCursor_ != cursor_)
        DestroyCursor(classCursor_);
    classCursor_ = nullptr;
}

// ------------------------------------------------------------- messages ---

LRESULT CALLBACK D3dHost::windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        const CREATESTRUCTA* creation = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        D3dHost* host = static_cast<D3dHost*>(creation->lpCreateParams);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(host));
        host->window_ = window;
    }
    D3dHost* host = reinterpret_cast<D3dHost*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!host)
        return DefWindowProcA(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        host->window_ = nullptr;
        return DefWindowProcA(window, message, wParam, lParam);
    }
    return host->msgProc(window, message, wParam, lParam);
}

LRESULT D3dHost::handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT:
        // A minimised window gets no frames; a repaint draws one without
        // advancing the game.
        if (device_ && ready_ && !active_ && !deviceLost_) {
            elapsedSeconds_ = 0.0f;
            render();
            if (device_)
                present();
        }
        break;
    case WM_SIZE:
        if (wParam == SIZE_MINIMIZED) {
            minimized_ = true;
        } else {
            minimized_ = false;
            clientWidth_ = LOWORD(lParam);
            clientHeight_ = HIWORD(lParam);
        }
        updateActivity();
        break;
    case WM_ACTIVATEAPP:
        // Another program came in front, or this one again.
        programInFront_ = wParam != FALSE;
        updateActivity();
        break;
    case WM_ENTERSIZEMOVE:
    case WM_ENTERMENULOOP:
        // Windows runs a loop of its own until the move, size or menu ends:
        // no frame is drawn meanwhile.
        inModalLoop_ = true;
        updateActivity();
        break;
    case WM_EXITSIZEMOVE:
    case WM_EXITMENULOOP:
        inModalLoop_ = false;
        updateActivity();
        break;
    case WM_SYSCOMMAND:
        // Alt or F10 alone, or Alt with a letter: DefWindowProc would run the
        // keyboard menu's modal loop, which stops the game and takes the next
        // key. Alt+F4 arrives as SC_CLOSE and goes on to DefWindowProc.
        if ((wParam & 0xFFF0) == SC_KEYMENU)
            return 0;
        break;
    case WM_SETCURSOR:
        // A window shows its class cursor; full screen shows it only when
        // asked to.
        if (startFullscreen_ && LOWORD(lParam) == HTCLIENT) {
            HCURSOR shown = classCursor_ ? classCursor_ : LoadCursor(nullptr, IDC_ARROW);
            SetCursor(showCursorWhenFullscreen_ ? shown : nullptr);
            return TRUE;
        }
        break;
    case WM_CLOSE:
        // Everything goes inside this message: a caller that sent it finds
        // no device and no window when SendMessage returns.
        if (closing_)
            return 0;
        closing_ = true;
        releaseDevice();
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        if (!destroying_)
            PostQuitMessage(quitValue_);
        break;
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
