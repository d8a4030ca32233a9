#ifndef QUORIN_TESTS_DIRECT3DHOOKS_H
#define QUORIN_TESTS_DIRECT3DHOOKS_H

// Test-only replacements of the functions of a real Direct3D 9 device or
// Direct3D object: the entries of its function table (shared by every
// object of its kind in the process) are replaced while a
// FunctionTableEntries lives and put back after. The
// program under test is not changed: what it calls is what Windows' own
// device answers, except where a test says otherwise.
//
// MessageBoxAnswerer answers the program's message box as a player would.
//
// LostDevice makes a device lose itself as a locked screen does: one
// Present answers D3DERR_DEVICELOST, then TestCooperativeLevel and Reset
// answer as the test plans before the real ones answer again.
//
// LostAtCreation makes the device lost before it exists: CreateDevice
// answers as the test plans before the real one answers.
#include <windows.h>
#include <d3d9.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

// The slot of a virtual function in its class's table (g++'s member
// pointers hold 1 + its byte offset).
template <typename Member>
size_t slotOf(Member member)
{
    struct {
        uintptr_t pointer;
        ptrdiff_t adjustment;
    } raw;
    static_assert(sizeof raw == sizeof member, "a g++ member function pointer");
    std::memcpy(&raw, &member, sizeof raw);
    return (raw.pointer - 1) / sizeof(void*);
}

class FunctionTableEntries {
public:
    explicit FunctionTableEntries(IUnknown* object) : table_(*reinterpret_cast<void***>(object)) {}
    ~FunctionTableEntries()
    {
        for (size_t i = slots_.size(); i-- > 0;)
            write(slots_[i], saved_[i]);
    }
    // Puts function in the slot; answers what was there.
    void* replace(size_t slot, void* function)
    {
        slots_.push_back(slot);
        saved_.push_back(table_[slot]);
        write(slot, function);
        return saved_.back();
    }

private:
    FunctionTableEntries(const FunctionTableEntries&) = delete;
    FunctionTableEntries& operator=(const FunctionTableEntries&) = delete;

    void write(size_t slot, void* function)
    {
        DWORD protection = 0;
        VirtualProtect(&table_[slot], sizeof(void*), PAGE_READWRITE, &protection);
        table_[slot] = function;
        VirtualProtect(&table_[slot], sizeof(void*), protection, &protection);
    }

    void** table_;
    std::vector<size_t> slots_;
    std::vector<void*> saved_;
};

// The current render target's pixels, 0xAARRGGBB, row after row.
inline std::vector<uint32_t> readRenderTarget(IDirect3DDevice9* device, int* width)
{
    std::vector<uint32_t> pixels;
    IDirect3DSurface9* target = nullptr;
    IDirect3DSurface9* copy = nullptr;
    D3DSURFACE_DESC desc = {};
    if (FAILED(device->GetRenderTarget(0, &target)) || FAILED(target->GetDesc(&desc)))
        return pixels;
    device->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format, D3DPOOL_SYSTEMMEM, &copy, nullptr);
    D3DLOCKED_RECT locked = {};
    if (copy && SUCCEEDED(device->GetRenderTargetData(target, copy)) &&
        SUCCEEDED(copy->LockRect(&locked, nullptr, D3DLOCK_READONLY))) {
        pixels.resize(static_cast<size_t>(desc.Width) * desc.Height);
        for (UINT y = 0; y < desc.Height; ++y)
            std::memcpy(&pixels[y * desc.Width], static_cast<char*>(locked.pBits) + y * locked.Pitch,
                        desc.Width * 4);
        copy->UnlockRect();
    }
    if (copy)
        copy->Release();
    target->Release();
    *width = static_cast<int>(desc.Width);
    return pixels;
}

// The colour (0xRRGGBB) of a 640 x 480 frame read by readRenderTarget at a
// point in clip space.
inline uint32_t colourAt(const std::vector<uint32_t>& pixels, int width, float x, float y)
{
    const int px = static_cast<int>((x + 1.0f) * 320.0f);
    const int py = static_cast<int>((1.0f - y) * 240.0f);
    return pixels[static_cast<size_t>(py) * static_cast<size_t>(width) + static_cast<size_t>(px)] & 0xFFFFFFu;
}

// The references held on the device: one per live resource and view of it
// besides the program's own.
inline ULONG deviceReferences(IDirect3DDevice9* device)
{
    device->AddRef();
    return device->Release();
}

// While it lives, the device is lost at the Present after lose() (as when
// Windows locks the screen): that Present answers D3DERR_DEVICELOST, the
// next TestCooperativeLevel calls answer cooperativeAnswers in turn, the
// next Reset calls resetAnswers in turn (without resetting), and then the
// real functions answer again. After the real Reset succeeded, the first
// creation of the kind refusedAfterReset answers refusal instead (as when
// the video memory is taken meanwhile). One at a time.
class LostDevice {
public:
    std::vector<HRESULT> cooperativeAnswers;
    std::vector<HRESULT> resetAnswers;
    // What the lost Present answers.
    HRESULT lostPresentAnswer = D3DERR_DEVICELOST;
    // Called with the device inside the Present that is lost (its back
    // buffer holds that frame) and inside the first Present after the real
    // Reset succeeded.
    std::function<void(IDirect3DDevice9*)> atLostPresent;
    std::function<void(IDirect3DDevice9*)> atFirstPresentAfterReset;
    // Called inside every Present that is not lost, before it presents.
    std::function<void(IDirect3DDevice9*)> atPresent;
    // Called at each planned TestCooperativeLevel answer.
    std::function<void()> whileLost;
    enum class Kind { none, texture, vertexBuffer, indexBuffer };
    Kind refusedAfterReset = Kind::none;
    HRESULT refusal = D3DERR_OUTOFVIDEOMEMORY;

    // What happened.
    int presentsLost = 0;
    int cooperativeCalls = 0;
    std::vector<ULONGLONG> cooperativeTimes;
    int plannedResets = 0;
    std::vector<HRESULT> realResets;
    int presentsAfterReset = 0;
    // Presents that Direct3D itself answered D3DERR_DEVICELOST.
    int realPresentsLost = 0;
    int refusedCreations = 0;

    explicit LostDevice(IDirect3DDevice9* device) : entries_(device)
    {
        current_ = this;
        realPresent_ = reinterpret_cast<Present>(
            entries_.replace(slotOf(&IDirect3DDevice9::Present), reinterpret_cast<void*>(&present)));
        realCooperative_ = reinterpret_cast<Cooperative>(entries_.replace(
            slotOf(&IDirect3DDevice9::TestCooperativeLevel), reinterpret_cast<void*>(&cooperative)));
        realReset_ = reinterpret_cast<Reset>(
            entries_.replace(slotOf(&IDirect3DDevice9::Reset), reinterpret_cast<void*>(&reset)));
        realCreateTexture_ = reinterpret_cast<CreateTexture>(
            entries_.replace(slotOf(&IDirect3DDevice9::CreateTexture), reinterpret_cast<void*>(&createTexture)));
        realCreateVertexBuffer_ = reinterpret_cast<CreateVertexBuffer>(entries_.replace(
            slotOf(&IDirect3DDevice9::CreateVertexBuffer), reinterpret_cast<void*>(&createVertexBuffer)));
        realCreateIndexBuffer_ = reinterpret_cast<CreateIndexBuffer>(entries_.replace(
            slotOf(&IDirect3DDevice9::CreateIndexBuffer), reinterpret_cast<void*>(&createIndexBuffer)));
    }
    ~LostDevice() { current_ = nullptr; }

    // The next Present loses the device.
    void lose() { armed_ = true; }

private:
    typedef HRESULT(WINAPI* Present)(IDirect3DDevice9*, const RECT*, const RECT*, HWND, const RGNDATA*);
    typedef HRESULT(WINAPI* Cooperative)(IDirect3DDevice9*);
    typedef HRESULT(WINAPI* Reset)(IDirect3DDevice9*, D3DPRESENT_PARAMETERS*);
    typedef HRESULT(WINAPI* CreateTexture)(IDirect3DDevice9*, UINT, UINT, UINT, DWORD, D3DFORMAT, D3DPOOL,
                                           IDirect3DTexture9**, HANDLE*);
    typedef HRESULT(WINAPI* CreateVertexBuffer)(IDirect3DDevice9*, UINT, DWORD, DWORD, D3DPOOL,
                                                IDirect3DVertexBuffer9**, HANDLE*);
    typedef HRESULT(WINAPI* CreateIndexBuffer)(IDirect3DDevice9*, UINT, DWORD, D3DFORMAT, D3DPOOL,
                                               IDirect3DIndexBuffer9**, HANDLE*);

    // This creation is the one to refuse.
    bool refuses(Kind kind)
    {
        if (kind != refusedAfterReset || refusedCreations > 0 || realResets.empty() || realResets.back() != D3D_OK)
            return false;
        ++refusedCreations;
        return true;
    }

    static HRESULT WINAPI present(IDirect3DDevice9* device, const RECT* source, const RECT* dest, HWND window,
                                  const RGNDATA* dirty)
    {
        LostDevice& self = *current_;
        if (self.armed_) {
            self.armed_ = false;
            self.lost_ = true;
            ++self.presentsLost;
            if (self.atLostPresent)
                self.atLostPresent(device);
            return self.lostPresentAnswer;
        }
        if (self.atPresent)
            self.atPresent(device);
        if (!self.realResets.empty() && self.realResets.back() == D3D_OK) {
            if (self.presentsAfterReset++ == 0 && self.atFirstPresentAfterReset)
                self.atFirstPresentAfterReset(device);
        }
        const HRESULT result = self.realPresent_(device, source, dest, window, dirty);
        self.realPresentsLost += result == D3DERR_DEVICELOST;
        return result;
    }
    static HRESULT WINAPI cooperative(IDirect3DDevice9* device)
    {
        LostDevice& self = *current_;
        ++self.cooperativeCalls;
        self.cooperativeTimes.push_back(GetTickCount64());
        if (self.lost_ && self.nextCooperative_ < self.cooperativeAnswers.size()) {
            if (self.whileLost)
                self.whileLost();
            return self.cooperativeAnswers[self.nextCooperative_++];
        }
        return self.realCooperative_(device);
    }
    static HRESULT WINAPI reset(IDirect3DDevice9* device, D3DPRESENT_PARAMETERS* parameters)
    {
        LostDevice& self = *current_;
        if (self.lost_ && self.nextReset_ < self.resetAnswers.size()) {
            ++self.plannedResets;
            return self.resetAnswers[self.nextReset_++];
        }
        const HRESULT result = self.realReset_(device, parameters);
        self.realResets.push_back(result);
        return result;
    }
    static HRESULT WINAPI createTexture(IDirect3DDevice9* device, UINT width, UINT height, UINT levels, DWORD usage,
                                        D3DFORMAT format, D3DPOOL pool, IDirect3DTexture9** made, HANDLE* shared)
    {
        LostDevice& self = *current_;
        if (self.refuses(Kind::texture))
            return self.refusal;
        return self.realCreateTexture_(device, width, height, levels, usage, format, pool, made, shared);
    }
    static HRESULT WINAPI createVertexBuffer(IDirect3DDevice9* device, UINT bytes, DWORD usage, DWORD format,
                                             D3DPOOL pool, IDirect3DVertexBuffer9** made, HANDLE* shared)
    {
        LostDevice& self = *current_;
        if (self.refuses(Kind::vertexBuffer))
            return self.refusal;
        return self.realCreateVertexBuffer_(device, bytes, usage, format, pool, made, shared);
    }
    static HRESULT WINAPI createIndexBuffer(IDirect3DDevice9* device, UINT bytes, DWORD usage, D3DFORMAT format,
                                            D3DPOOL pool, IDirect3DIndexBuffer9** made, HANDLE* shared)
    {
        LostDevice& self = *current_;
        if (self.refuses(Kind::indexBuffer))
            return self.refusal;
        return self.realCreateIndexBuffer_(device, bytes, usage, format, pool, made, shared);
    }

    static LostDevice* current_;
    FunctionTableEntries entries_;
    Present realPresent_ = nullptr;
    Cooperative realCooperative_ = nullptr;
    Reset realReset_ = nullptr;
    CreateTexture realCreateTexture_ = nullptr;
    CreateVertexBuffer realCreateVertexBuffer_ = nullptr;
    CreateIndexBuffer realCreateIndexBuffer_ = nullptr;
    bool armed_ = false;
    bool lost_ = false;
    size_t nextCooperative_ = 0;
    size_t nextReset_ = 0;
};

inline LostDevice* LostDevice::current_ = nullptr;

// While it lives, the Direct3D object's next CreateDevice calls answer
// answers in turn (making no device), as when the screen is locked while
// the program starts; then the real CreateDevice answers again.
class LostAtCreation {
public:
    std::vector<HRESULT> answers;
    // Called at each planned answer.
    std::function<void()> atPlannedAnswer;

    // What happened: the time of every call, and the real one's answer.
    std::vector<ULONGLONG> callTimes;
    std::vector<HRESULT> realAnswers;

    explicit LostAtCreation(IDirect3D9* direct3d) : entries_(direct3d)
    {
        current_ = this;
        realCreate_ = reinterpret_cast<Create>(
            entries_.replace(slotOf(&IDirect3D9::CreateDevice), reinterpret_cast<void*>(&create)));
    }
    ~LostAtCreation() { current_ = nullptr; }

private:
    typedef HRESULT(WINAPI* Create)(IDirect3D9*, UINT, D3DDEVTYPE, HWND, DWORD, D3DPRESENT_PARAMETERS*,
                                    IDirect3DDevice9**);

    static HRESULT WINAPI create(IDirect3D9* direct3d, UINT adapter, D3DDEVTYPE type, HWND window, DWORD flags,
                                 D3DPRESENT_PARAMETERS* parameters, IDirect3DDevice9** made)
    {
        LostAtCreation& self = *current_;
        self.callTimes.push_back(GetTickCount64());
        if (self.next_ < self.answers.size()) {
            if (self.atPlannedAnswer)
                self.atPlannedAnswer();
            *made = nullptr;
            return self.answers[self.next_++];
        }
        const HRESULT result = self.realCreate_(direct3d, adapter, type, window, flags, parameters, made);
        self.realAnswers.push_back(result);
        return result;
    }

    static LostAtCreation* current_;
    FunctionTableEntries entries_;
    Create realCreate_ = nullptr;
    size_t next_ = 0;
};

inline LostAtCreation* LostAtCreation::current_ = nullptr;

// Watches, from a thread of its own, for a message box (a dialog) with the
// given title; keeps its text and presses its OK button, as the player
// would, so that a run that shows one goes on to its end.
class MessageBoxAnswerer {
public:
    explicit MessageBoxAnswerer(const char* title) : title_(title), thread_([this] { answer(); }) {}
    ~MessageBoxAnswerer() { wait(); }
    bool seen() const { return seen_; }
    const std::string& text() const { return text_; }
    // Ends the watch (once the run is over, a box has been answered).
    void wait()
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
    }

private:
    void answer()
    {
        while (!stop_) {
            // Shown, with its text (the box gets its title and its text
            // while it is made, before it is shown).
            HWND box = FindWindowA("#32770", title_.c_str());
            char text[512] = {};
            if (box && IsWindowVisible(box) && GetDlgItemTextA(box, 0xFFFF, text, sizeof text) > 0) {
                text_ = text;
                seen_ = true;
                PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
                return;
            }
            Sleep(50);
        }
    }

    std::string title_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> seen_{false};
    std::string text_;
    std::thread thread_;
};

#endif
