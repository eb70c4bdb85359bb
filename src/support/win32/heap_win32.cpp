#include <windows.h>

#include "support/heap.h"

void* AllocateZeroed(size_t bytes)
{
    return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes == 0 ? 1 : bytes);
}

void FreeAllocation(void* block)
{
    if (block != nullptr) HeapFree(GetProcessHeap(), 0, block);
}
