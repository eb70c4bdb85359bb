#include "fake_heap.h"

#include <cstdlib>

#include "support/heap.h"

FakeHeapControl FakeHeap;

void* AllocateZeroed(size_t bytes)
{
    if (FakeHeap.failAfter == 0) return nullptr;
    if (FakeHeap.failAfter > 0) --FakeHeap.failAfter;
    void* block = std::calloc(1, bytes == 0 ? 1 : bytes);
    if (block != nullptr) ++FakeHeap.liveBlocks;
    return block;
}

void FreeAllocation(void* block)
{
    if (block == nullptr) return;
    --FakeHeap.liveBlocks;
    std::free(block);
}
