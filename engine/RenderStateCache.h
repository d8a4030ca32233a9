#ifndef QUORIN_RENDERSTATECACHE_H
#define QUORIN_RENDERSTATECACHE_H

#include <array>
#include <cstddef>
#include <vector>

class Device;

// The stack of render-state tables a device keeps, so drawing routines can
// push the states, change what they need and pop back to the previous look;
// a pop re-applies only the states that differ.
//
// Blend-mode and texture-mode sets are also recorded in a pending list, which
// a back-end can replay after binding a texture (applyPending).
//
// Nothing here allocates once the stack and the pending list have reached
// their working depth.
class RenderStateCache {
public:
    struct Entry {
        int type;
        int value;
    };
    static constexpr int tableSize = 7;
    typedef std::array<Entry, tableSize> Table;

    // States are applied through device->setRenderState, or through the
    // current device when device is null. With tracksPending false the
    // pending list stays empty (for a back-end that never replays it).
    explicit RenderStateCache(Device* device = nullptr, bool tracksPending = true);
    ~RenderStateCache();

    // First call: pushes the default table and sends its seven states. Later
    // calls push a copy of the current table and send nothing.
    void reset();
    void push();
    // Does nothing while fewer than two tables are held.
    void pop();
    // True when an entry of that type changed value; always true while the
    // cache itself is applying. Before reset nothing is recorded (false).
    bool set(int type, int value);
    // The current value of the type, or RenderStateValue::unset.
    int get(int type) const;
    // Sends, with applying set, every state whose value differs between the
    // two tables, with the value of newTable, in table order.
    void applyDifferences(const Table& newTable, const Table& oldTable);
    // Sends, with applying set, every state of the current table in table
    // order: for a platform that lost its states (a Direct3D device reset).
    // Nothing before reset.
    void applyCurrent();

    // Sends every pending pair in order (with applying set), then empties
    // the list.
    void applyPending();
    void clearPending();
    // Forgets the pending pairs beyond the first size: sets made for a
    // stage the back-end has no unit for.
    void truncatePending(std::size_t size);
    const std::vector<Entry>& pending() const { return pending_; }

    bool applying() const { return applying_; }
    int count() const { return count_; }
    int depth() const { return depth_; }

    static const Table& defaultTable();

private:
    Device* target() const;
    void send(int type, int value);

    Device* device_;
    bool tracksPending_;
    int count_;
    // frames_[0 .. depth_-1] are the live tables, bottom first; entries
    // beyond depth_ are kept for reuse so pushes do not allocate.
    std::vector<Table> frames_;
    int depth_;
    std::vector<Entry> pending_;
    bool applying_;
};

#endif
