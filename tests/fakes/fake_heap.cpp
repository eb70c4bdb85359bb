#include "fake_heap.h"

#include <cstdlib>
#include <map>
#include <string>

#include "call_log.h"
#include "support/heap.h"

FakeHeapControl FakeHeap;

namespace {

// Sizes of the live blocks, so that the log can tell the freed buffers apart.
std::map<void*, size_t>& BlockSizes()
{
    static std::map<void*, size_t> sizes;
    return sizes;
}

}  // namespace

void* AllocateZeroed(size_t bytes)
{
    if (FakeHeap.failAfter == 0) return nullptr;
    if (FakeHeap.failAfter > 0) --FakeHeap.failAfter;
    void* block = std::calloc(1, bytes == 0 ? 1 : bytes);
    if (block != nullptr) {
        ++FakeHeap.liveBlocks;
        BlockSizes()[block] = bytes;
    }
    return block;
}

void FreeAllocation(void* block)
{
    if (block == nullptr) return;
    CallLog.push_back("FreeAllocation " + std::to_string(BlockSizes()[block]));
    BlockSizes().erase(block);
    --FakeHeap.liveBlocks;
    std::free(block);
}
