#include "RenderStateCache.h"

#include "Device.h"
#include "RenderState.h"

namespace {
// Frames and pending pairs reserved up front; deeper nesting still works,
// it only allocates once when first reached.
const size_t reservedFrames = 16;
const size_t reservedPending = 256;
}

const RenderStateCache::Table& RenderStateCache::defaultTable()
{
    static const Table table = {{
        {RenderStateType::depthTest, RenderStateValue::depthGreater},
        {RenderStateType::blendMode, RenderStateValue::blendOff},
        {RenderStateType::fillMode, RenderStateValue::fillSolid},
        {RenderStateType::cullMode, RenderStateValue::cullClockwise},
        {RenderStateType::textureMode, RenderStateValue::textureWrap},
        {RenderStateType::fogMode, RenderStateValue::fogOff},
        {RenderStateType::stencilTest, RenderStateValue::stencilOff},
    }};
    return table;
}

RenderStateCache::RenderStateCache(Device* device, bool tracksPending)
    : device_(device), tracksPending_(tracksPending), count_(0), depth_(0), applying_(false)
{
    frames_.reserve(reservedFrames);
    if (tracksPending_)
        pending_.reserve(reservedPending);
}

RenderStateCache::~RenderStateCache()
{
}

Device* RenderStateCache::target() const
{
    return device_ ? device_ : Device::instance();
}

void RenderStateCache::send(int type, int value)
{
    if (Device* device = target())
        device->setRenderState(type, value);
}

void RenderStateCache::reset()
{
    count_ = tableSize;
    push();
}

void RenderStateCache::push()
{
    if (count_ == 0)
        return;   // not reset yet: there is no table to copy
    if (static_cast<size_t>(depth_) == frames_.size())
        frames_.emplace_back();
    Table& table = frames_[depth_];
    if (depth_ > 0) {
        table = frames_[depth_ - 1];
        ++depth_;
        return;
    }
    table = defaultTable();
    ++depth_;
    applying_ = true;
    for (int i = 0; i < count_; ++i)
        send(table[i].type, table[i].value);
    applying_ = false;
}

void RenderStateCache::pop()
{
    if (depth_ < 2)
        return;
    applyDifferences(frames_[depth_ - 2], frames_[depth_ - 1]);
    --depth_;
}

bool RenderStateCache::set(int type, int value)
{
    if (applying_)
        return true;
    if (depth_ == 0)
        return false;
    if (tracksPending_ && (type == RenderStateType::blendMode || type == RenderStateType::textureMode))
        pending_.push_back(Entry{type, value});
    Table& table = frames_[depth_ - 1];
    for (int i = 0; i < count_; ++i) {
        if (table[i].type == type && table[i].value != value) {
            table[i].value = value;
            return true;
        }
    }
    return false;
}

int RenderStateCache::get(int type) const
{
    if (depth_ == 0)
        return RenderStateValue::unset;
    const Table& table = frames_[depth_ - 1];
    for (int i = 0; i < count_; ++i)
        if (table[i].type == type)
            return table[i].value;
    return RenderStateValue::unset;
}

void RenderStateCache::applyDifferences(const Table& newTable, const Table& oldTable)
{
    applying_ = true;
    for (int i = 0; i < count_; ++i)
        if (newTable[i].value != oldTable[i].value)
            send(newTable[i].type, newTable[i].value);
    applying_ = false;
}

void RenderStateCache::applyCurrent()
{
    if (depth_ == 0)
        return;
    const Table& table = frames_[depth_ - 1];
    const bool wasApplying = applying_;
    applying_ = true;
    for (int i = 0; i < count_; ++i)
        send(table[i].type, table[i].value);
    applying_ = wasApplying;
}

void RenderStateCache::applyPending()
{
    bool wasApplying = applying_;
    applying_ = true;
    // Index loop: the list cannot grow while applying, but stay safe anyway.
    for (size_t i = 0; i < pending_.size(); ++i)
        send(pending_[i].type, pending_[i].value);
    applying_ = wasApplying;
    pending_.clear();
}

void RenderStateCache::clearPending()
{
    pending_.clear();
}

void RenderStateCache::truncatePending(std::size_t size)
{
    if (size < pending_.size())
        pending_.resize(size);
}
