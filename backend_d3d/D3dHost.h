#ifndef QUORIN_D3DHOST_H
#define QUORIN_D3DHOST_H

#include "FrameClock.h"

#include <windows.h>
#include <d3d9.h>

#include <string>

// The application framework racer_d3d runs in: one window, the Direct3D 9
// object and device, the message loop, the frame clock and presenting. A
// subclass fills in the hooks; the host calls them in this order:
//
//   create:  Direct3D object; device enumeration (confirmDevice offered each
//            vertex-processing kind); window; oneTimeSceneInit; device
//            creation; initDeviceObjects; restoreDeviceObjects
//   run:     per frame frameMove, render, then present; a paint message of
//            an inactive window renders alone; after a lost device
//            invalidateDeviceObjects, the reset, restoreDeviceObjects
//   close:   invalidateDeviceObjects, deleteDeviceObjects, device and
//            Direct3D released, finalCleanup, window destroyed
//
// The window is active, and frames run, while it is neither minimised nor
// held by a move, size or menu loop and the program is the one in front:
// taken from the foreground window once the window is made (Windows does
// not always bring a new window to the front), then from WM_ACTIVATEAPP.
// The frame clock stops whenever the window is inactive, so the first frame
// after it is given only the time since it came back.
//
// The keyboard menu is never entered: Alt or F10 alone, or Alt with a
// letter, would otherwise put the window into Windows' menu loop, which
// holds the game and takes the next key. The window has no menu bar; its
// system menu still opens with the mouse, and Alt+F4 still closes it.
//
// A change of the window's size is stored and does not reset the device:
// the back buffer keeps the creation size and is stretched when presented.
//
// A lost device (Present answers D3DERR_DEVICELOST: the screen locked, a
// prompt on the secure desktop, another program taking the screen, a
// change of display mode) stops the frame clock as a minimise does, and the
// loop asks TestCooperativeLevel every 100 ms. Once the device can be reset:
// invalidateDeviceObjects, Reset, restoreDeviceObjects, and the frames go
// on; a Reset that answers D3DERR_DEVICELOST again waits on, and so does
// a device creation that answers it (the screen locked while the game
// starts: asked again every 100 ms before the first frame). Only a real
// failure (of the creation, of the reset, of making an object again after
// the reset, of the device, or a hook's failing frame) ends the game: the
// device is released, then a message box says what failed.
class D3dHost {
public:
    D3dHost();
    virtual ~D3dHost();

    // Makes the window and the device. A failure is reported (message box)
    // and closes the window; run then answers 1.
    HRESULT create(HINSTANCE instance);
    // The message loop: answers the quit message's value (0 after a normal
    // close, 1 after a failure), or 1 when the window never came into being.
    int run();

    // Settings, read by create.
    void setTitle(const std::string& title) { title_ = title; }
    void setCreationSize(int width, int height);
    void setStartFullscreen(bool on) { startFullscreen_ = on; }
    void setUseDepthBuffer(bool on) { useDepthBuffer_ = on; }
    void setShowCursorWhenFullscreen(bool on) { showCursorWhenFullscreen_ = on; }
    // Full-screen presentation interval: DEFAULT (vertical sync) when on,
    // IMMEDIATE when off. A window always presents immediately.
    void setVsync(bool on) { vsync_ = on; }
    // The cursor of the window class; the host destroys it with itself.
    // Takes effect at the next create.
    void setWindowCursor(HCURSOR cursor);

    HWND window() const { return window_; }
    IDirect3D9* direct3d() const { return direct3d_; }
    IDirect3DDevice9* direct3dDevice() const { return device_; }
    // Rendering: the window exists with its device, is not minimised nor in
    // a move, size or menu loop, and the program is in front.
    bool active() const { return active_; }
    // Seconds of the current frame; 0 for a repaint.
    float elapsedSeconds() const { return elapsedSeconds_; }
    float framesPerSecond() const { return clock_.fps(); }
    int clientWidth() const { return clientWidth_; }
    int clientHeight() const { return clientHeight_; }
    // Behaviour flags the device was created with (vertex processing and
    // D3DCREATE_FPU_PRESERVE); 0 before.
    DWORD behaviorFlags() const { return behaviorFlags_; }

    // Hooks. The defaults accept every device and do nothing.
    virtual HRESULT confirmDevice(const D3DCAPS9& caps, DWORD behavior, D3DFORMAT format);
    virtual HRESULT oneTimeSceneInit();
    virtual HRESULT initDeviceObjects();
    virtual HRESULT restoreDeviceObjects();
    virtual HRESULT frameMove();
    virtual HRESULT render();
    virtual HRESULT invalidateDeviceObjects();
    virtual HRESULT deleteDeviceObjects();
    virtual HRESULT finalCleanup();
    // Every window message; the default is handleMessage.
    virtual LRESULT msgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

protected:
    // The host's own message handling (size, paint, close, destroy).
    LRESULT handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // Shows a failure of the host: stderr and a message box. The device is
    // released by then (a full-screen game has given the screen back) and
    // the window is still there.
    virtual void reportFailure(const char* text);
    // A hook that fails names what failed; the message box says it.
    void nameFailure(const std::string& what) { failureName_ = what; }
    // The frame clock's source: QueryPerformanceCounter and its frequency.
    virtual int64_t counterTicks();
    virtual int64_t counterFrequency();
    // The window in front of the desktop: GetForegroundWindow.
    virtual HWND foregroundWindow();

private:
    D3dHost(const D3dHost&) = delete;
    D3dHost& operator=(const D3dHost&) = delete;

    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    bool chooseDevice();
    HRESULT createDevice();
    bool pauseWithoutDevice();
    // A frame, or while the device is lost a try to have it again. A real
    // failure is reported (message box) and closes the window.
    void renderFrame();
    // Presents; a lost device is marked lost (the clock stops).
    HRESULT present();
    HRESULT resetDevice();
    void releaseDevice();
    void unregisterClass();
    // Releases the device (leaving full screen), shows the text, closes
    // the window; run then answers 1.
    void fail(const char* text);
    // fail with the text and Direct3D's answer.
    void failWith(const char* text, HRESULT result);
    // Active or not from the flags below; the clock stops and runs with it.
    void updateActivity();

    std::string title_;
    int creationWidth_;
    int creationHeight_;
    bool startFullscreen_;
    bool useDepthBuffer_;
    bool showCursorWhenFullscreen_;
    bool vsync_;
    HCURSOR cursor_;
    HCURSOR classCursor_;

    HINSTANCE instance_;
    bool classRegistered_;
    HWND window_;
    IDirect3D9* direct3d_;
    IDirect3DDevice9* device_;
    D3DPRESENT_PARAMETERS presentation_;
    UINT adapter_;
    D3DDEVTYPE deviceType_;
    D3DFORMAT adapterFormat_;
    DWORD behaviorFlags_;
    bool ready_;
    bool minimized_;
    bool inModalLoop_;
    bool programInFront_;
    bool active_;
    bool closing_;
    bool destroying_;
    bool windowMade_;
    bool deviceLost_;
    int quitValue_;
    bool failed_;
    std::string failureName_;
    int clientWidth_;
    int clientHeight_;
    float elapsedSeconds_;
    FrameClock clock_;
};

#endif
