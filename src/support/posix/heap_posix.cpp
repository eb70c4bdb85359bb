#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>

#include "support/heap.h"

namespace {

// The normal field at a screen's size is tens of megabytes, written once at scene setup: in
// pages of 4 KiB its first touch costs more than filling it (the first frame waits for it).
// Blocks this large get pages of their own, which the kernel may back with 2 MiB ones. Not
// under the address sanitizer, whose leak checker sees only the heap.
#if defined(__SANITIZE_ADDRESS__)
constexpr size_t LargeBlock = SIZE_MAX;
#else
constexpr size_t LargeBlock = size_t{1} << 20;
#endif
constexpr size_t HugePage = size_t{2} << 20;

// Ahead of every block: how it was had, so that it goes back the same way. Its size keeps the
// block as aligned as the heap's own.
struct alignas(16) BlockHeader {
    size_t mappedBytes;  // 0: from the heap
};

}  // namespace

void* AllocateZeroed(size_t bytes)
{
    if (bytes > SIZE_MAX - HugePage) return nullptr;
    if (bytes < LargeBlock) {
        auto* header = static_cast<BlockHeader*>(std::calloc(1, sizeof(BlockHeader) + bytes));
        if (header == nullptr) return nullptr;
        header->mappedBytes = 0;
        return header + 1;
    }
    // Fresh anonymous pages are zero; asked for huge ones before anything touches them.
    const size_t mapped = (sizeof(BlockHeader) + bytes + HugePage - 1) / HugePage * HugePage;
    void* base = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (base == MAP_FAILED) return nullptr;
    madvise(base, mapped, MADV_HUGEPAGE);
    auto* header = static_cast<BlockHeader*>(base);
    header->mappedBytes = mapped;
    return header + 1;
}

void FreeAllocation(void* block)
{
    if (block == nullptr) return;
    BlockHeader* header = static_cast<BlockHeader*>(block) - 1;
    if (header->mappedBytes != 0) {
        munmap(header, header->mappedBytes);
    } else {
        std::free(header);
    }
}
