#ifndef QUORIN_D3DBUFFERSTORAGE_H
#define QUORIN_D3DBUFFERSTORAGE_H

#include <d3d9.h>

#include <cstdio>
#include <cstring>
#include <vector>

// The bytes of a Direct3D buffer of count elements: Direct3D has no empty
// buffers, so an empty one still gets one element.
template <typename Element>
UINT d3dBufferBytes(int count)
{
    return static_cast<UINT>((count > 0 ? count : 1) * sizeof(Element));
}

// Vertex and index buffers are written, never read back.
inline DWORD d3dBufferUsage(bool dynamic)
{
    return dynamic ? D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY : D3DUSAGE_WRITEONLY;
}

// What a vertex or an index buffer of racer_d3d holds: its Direct3D buffer
// (null when Direct3D refused it) and, for a dynamic buffer, its contents
// in memory.
//
// A dynamic buffer lives in the default pool, which a reset of the device
// takes away: a lock hands out the copy in memory and unlock sends the
// whole of it to Direct3D (discarding what the buffer held, so Direct3D
// need not wait for drawing from it), and after a reset the copy refills
// the buffer made again. A static buffer lives in the managed pool, which
// Direct3D keeps, and is locked directly; should Direct3D refuse that lock,
// a spare copy whose contents reach no drawing is handed out instead (the
// first refusal is told on stderr). A lock never answers null.
//
// Element is Vertex or uint32_t, Direct3dBuffer IDirect3DVertexBuffer9 or
// IDirect3DIndexBuffer9; what ("a vertex buffer") and units ("vertices")
// name the buffer in messages.
template <typename Element, typename Direct3dBuffer>
class D3dBufferStorage {
public:
    D3dBufferStorage(bool dynamic, int count, Direct3dBuffer* buffer, const char* what, const char* units)
        : dynamic_(dynamic), count_(count), buffer_(buffer), what_(what), units_(units)
    {
        if (dynamic_)
            copy_.resize(static_cast<size_t>(count_) + 1);
    }
    ~D3dBufferStorage()
    {
        if (buffer_)
            buffer_->Release();
    }
    D3dBufferStorage(const D3dBufferStorage&) = delete;
    D3dBufferStorage& operator=(const D3dBufferStorage&) = delete;

    Direct3dBuffer* buffer() const { return buffer_; }

    Element* lock()
    {
        if (!dynamic_) {
            // No D3DLOCK_DISCARD: Direct3D refuses it on a static buffer.
            void* data = nullptr;
            if (buffer_ && SUCCEEDED(buffer_->Lock(0, 0, &data, 0)) && data) {
                lockedCopy_ = false;
                return static_cast<Element*>(data);
            }
            // A buffer without its Direct3D part was told of when it was made.
            if (buffer_)
                tellRefusedLock();
            if (copy_.size() < static_cast<size_t>(count_) + 1)
                copy_.resize(static_cast<size_t>(count_) + 1);
        }
        lockedCopy_ = true;
        return copy_.data();
    }

    void unlock()
    {
        if (!lockedCopy_) {
            if (buffer_)
                buffer_->Unlock();
            return;
        }
        lockedCopy_ = false;
        if (dynamic_)
            upload();
    }

    // Before a reset of the device: a dynamic buffer's Direct3D buffer is
    // released (a static one stays).
    void releaseDeviceBuffer()
    {
        if (!dynamic_ || !buffer_)
            return;
        buffer_->Release();
        buffer_ = nullptr;
        releasedForReset_ = true;
    }

    // After the reset: create(Direct3dBuffer**) makes a dynamic buffer's
    // Direct3D buffer again, and the copy fills it. Answers Direct3D's
    // refusal of a buffer it had made before the reset (the buffer then has
    // no Direct3D part); one it had refused already is tried again, and
    // stays without if refused again, as it was.
    template <typename Create>
    HRESULT restoreDeviceBuffer(Create create)
    {
        if (!dynamic_ || buffer_)
            return S_OK;
        const bool hadOne = releasedForReset_;
        const HRESULT result = create(&buffer_);
        if (FAILED(result)) {
            buffer_ = nullptr;
            return hadOne ? result : S_OK;
        }
        releasedForReset_ = false;
        upload();
        return S_OK;
    }

private:
    void upload()
    {
        if (!buffer_)
            return;
        void* data = nullptr;
        if (FAILED(buffer_->Lock(0, 0, &data, D3DLOCK_DISCARD)) || !data) {
            tellRefusedLock();
            return;
        }
        std::memcpy(data, copy_.data(), static_cast<size_t>(count_) * sizeof(Element));
        buffer_->Unlock();
    }

    void tellRefusedLock()
    {
        if (lockRefusalReported_)
            return;
        std::fprintf(stderr, "racer_d3d: Direct3D refuses to lock %s of %d %s; what is written is dropped\n",
                     what_, count_, units_);
        lockRefusalReported_ = true;
    }

    const bool dynamic_;
    const int count_;
    Direct3dBuffer* buffer_;
    const char* const what_;
    const char* const units_;
    bool lockedCopy_ = false;
    bool lockRefusalReported_ = false;
    // The Direct3D buffer was released for a reset and is to be made again.
    bool releasedForReset_ = false;
    // A dynamic buffer's contents; for a static one, the spare copy a
    // refused lock answers.
    std::vector<Element> copy_;
};

#endif
