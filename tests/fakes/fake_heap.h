// Heap for unit tests: real zero-filled memory, with a switch to refuse allocations.
// FreeAllocation logs "FreeAllocation <bytes>" into CallLog.
#pragma once

#include <cstddef>

struct FakeHeapControl {
    int failAfter = -1;  // allocations left before refusing; -1 never refuses
    int liveBlocks = 0;  // allocated and not yet freed
};

extern FakeHeapControl FakeHeap;
