// Every buffer of the saver comes zero-filled from the process heap.
// Called at start-up and scene setup only, never per frame.
#pragma once

#include <cstddef>

// Null when the memory cannot be had.
void* AllocateZeroed(size_t bytes);
// Null does nothing.
void FreeAllocation(void* block);
