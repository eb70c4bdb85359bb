#include <cstdlib>

#include "support/heap.h"

void* AllocateZeroed(size_t bytes)
{
    // calloc of 0 may return a unique pointer; callers treat any non-null as usable.
    return std::calloc(1, bytes == 0 ? 1 : bytes);
}

void FreeAllocation(void* block)
{
    std::free(block);
}
