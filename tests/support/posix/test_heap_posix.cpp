// The process heap of the Linux program: small blocks from the C heap, large ones mapped on
// their own; all of them zero, all of them given back whichever way they came.
#include <gtest/gtest.h>

#include <cstdint>

#include "support/heap.h"

TEST(PosixHeap, BlocksOfEverySizeComeZeroAndGoBack)
{
    for (const size_t bytes : {size_t{0}, size_t{1}, size_t{4096}, (size_t{1} << 20) - 17,
                               size_t{1} << 20, (size_t{3} << 20) + 5, size_t{25} << 20}) {
        SCOPED_TRACE(bytes);
        auto* block = static_cast<uint8_t*>(AllocateZeroed(bytes));
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % 16, 0u);
        size_t nonZero = 0;
        for (size_t i = 0; i < bytes; i += 997) nonZero += block[i] != 0;
        if (bytes > 0) nonZero += block[bytes - 1] != 0;
        EXPECT_EQ(nonZero, 0u);
        // Written to the last byte, then given back: the sanitizers see any overrun.
        for (size_t i = 0; i < bytes; i += 4096) block[i] = 0xA5;
        if (bytes > 0) block[bytes - 1] = 0x5A;
        FreeAllocation(block);
    }
    FreeAllocation(nullptr);
}

TEST(PosixHeap, ASizeThatCannotBeHadIsNull)
{
    EXPECT_EQ(AllocateZeroed(SIZE_MAX), nullptr);
    EXPECT_EQ(AllocateZeroed(SIZE_MAX - 100), nullptr);
}
