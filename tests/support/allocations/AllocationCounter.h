// Counts every operator new of the process, for tests and benchmarks that
// prove a frame touches no heap or that a loader takes no large block. Link the target quorin_allocation_counter:
// it replaces the global operator new and delete for the whole program.
#pragma once

#include <cstddef>

// Number of operator new calls (every form) since the program started.
// Read it before and after the code under test and compare.
long allocationCount();

// The size of the largest block one operator new asked for since the last
// resetLargestAllocation() (or the program's start): a test proving that
// code never takes a large block reads it after the code under test.
void resetLargestAllocation();
std::size_t largestAllocation();

// Makes one allocation that no optimisation can drop and answers whether it
// was counted. A test proving that code allocates nothing asserts this
// first: a counter that does not see the program's allocations proves
// nothing.
bool allocationCounterCounts();
