#ifndef QUORIN_DEVILMEMORY_H
#define QUORIN_DEVILMEMORY_H

#include <cstddef>

// Every block the image library allocates, through its memory hooks, so
// that one decoding can be bounded and cleaned up whatever the library does
// with damaged data:
// - every block comes zeroed, so pixels a reader leaves unwritten are zero;
// - during a decoding no block above the decoding's largest size is given
//   and no more than its budget is held: the library sees an allocation
//   failure instead of taking gigabytes;
// - freeing a block that is not held (the library frees some pictures'
//   data on a short read and again when the image is deleted) does nothing;
// - blocks the library allocated during the decoding and still holds after
//   the image is deleted (lost on its error paths) are freed by release().
// All of it runs on the one thread that decodes.
class DevilMemory {
public:
    // Makes the library allocate through these hooks; before ilInit.
    static void install();

    // Starts a decoding: blocks from now on are its own.
    static void open(size_t largestBlock, size_t budget);
    // Ends it: later blocks (the library's own bookkeeping) are not.
    static void close();
    // Frees the blocks of the last decoding that are still held; gives
    // how many there were.
    static int release();

    // Totals since start, for tests and fuzzing.
    static long refusedAllocations();
    static long strayFrees();
    static long releasedBlocks();
    static size_t heldBytes();
};

#endif
