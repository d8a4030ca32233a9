#include "DevilMemory.h"

#include <IL/il.h>

#include <cstdlib>
#include <unordered_map>
#include <vector>

namespace {

struct Block {
    size_t size;
    bool decoding;   // allocated during the current (or last) decoding
};

struct State {
    std::unordered_map<const void*, Block> blocks;
    bool decoding = false;
    size_t largestBlock = 0;
    size_t budget = 0;
    size_t decodingBytes = 0;   // held by blocks of the decoding
    size_t heldBytes = 0;
    long refused = 0;
    long stray = 0;
    long released = 0;
};

State& state()
{
    // Never destroyed: the library may free blocks while the program ends.
    static State* s = new State();
    return *s;
}

void* ILAPIENTRY devilAllocate(const ILsizei size)
{
    State& s = state();
    if (s.decoding && (size > s.largestBlock || size > s.budget - s.decodingBytes)) {
        ++s.refused;
        return nullptr;
    }
    // Zeroed, so pixels a reader leaves unwritten (a run-length stream that
    // ends early) are zero (black, or the palette's first colour), not
    // whatever the memory held before.
    void* block = std::calloc(size > 0 ? size : 1, 1);
    if (!block)
        return nullptr;
    s.blocks[block] = Block{size, s.decoding};
    s.heldBytes += size;
    if (s.decoding)
        s.decodingBytes += size;
    return block;
}

void ILAPIENTRY devilFree(const void* CONST_RESTRICT block)
{
    if (!block)
        return;
    State& s = state();
    auto found = s.blocks.find(block);
    if (found == s.blocks.end()) {
        ++s.stray;
        return;
    }
    s.heldBytes -= found->second.size;
    if (found->second.decoding)
        s.decodingBytes -= found->second.size;
    s.blocks.erase(found);
    std::free(const_cast<void*>(block));
}

} // namespace

void DevilMemory::install()
{
    ilSetMemory(devilAllocate, devilFree);
}

void DevilMemory::open(size_t largestBlock, size_t budget)
{
    State& s = state();
    // Blocks left from an earlier decoding are no longer its own.
    for (auto& entry : s.blocks)
        entry.second.decoding = false;
    s.decoding = true;
    s.largestBlock = largestBlock;
    s.budget = budget;
    s.decodingBytes = 0;
}

void DevilMemory::close()
{
    state().decoding = false;
}

int DevilMemory::release()
{
    State& s = state();
    std::vector<const void*> left;
    for (const auto& entry : s.blocks)
        if (entry.second.decoding)
            left.push_back(entry.first);
    for (const void* block : left)
        devilFree(block);
    s.released += static_cast<long>(left.size());
    return static_cast<int>(left.size());
}

long DevilMemory::refusedAllocations()
{
    return state().refused;
}

long DevilMemory::strayFrees()
{
    return state().stray;
}

long DevilMemory::releasedBlocks()
{
    return state().released;
}

size_t DevilMemory::heldBytes()
{
    return state().heldBytes;
}
