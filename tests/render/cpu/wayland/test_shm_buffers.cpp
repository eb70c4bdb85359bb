// The wl_shm buffers' bookkeeping without a compositor: whichever buffer is free when a frame
// is shown, copying what it lacks makes it that frame.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "render/cpu/wayland/shm_buffers.h"

namespace {

TEST(ShmBuffers, AFreeBufferBecomesTheLatestFrameWhicheverItIs)
{
    constexpr int32_t W = 61;
    constexpr int32_t H = 37;
    std::mt19937 random(7);
    std::vector<uint32_t> frame(W * H, 0);
    std::vector<uint32_t> memory[2] = {std::vector<uint32_t>(W * H, 0),
                                       std::vector<uint32_t>(W * H, 0)};
    ShmBuffers buffers;
    buffers.width = W;
    buffers.height = H;
    buffers.count = 2;
    for (int i = 0; i < 2; ++i) buffers.buffers[i].pixels = memory[i].data();

    for (uint32_t n = 1; n <= 400; ++n) {
        // Some squares of the frame change, up to more than a list holds.
        cpu::PixelRect rects[48];
        const uint32_t count = random() % 48;
        for (uint32_t k = 0; k < count; ++k) {
            const int32_t x = static_cast<int32_t>(random() % W);
            const int32_t y = static_cast<int32_t>(random() % H);
            rects[k] = cpu::PixelRect{x, y, x + 1 + static_cast<int32_t>(random() % 20),
                                      y + 1 + static_cast<int32_t>(random() % 20)};
            for (int32_t r = y; r < std::min(rects[k].bottom, H); ++r) {
                for (int32_t c = x; c < std::min(rects[k].right, W); ++c) frame[r * W + c] = n;
            }
        }
        MarkChanged(&buffers, rects, count);
        // The compositor holds one, both, or neither.
        for (ShmBuffer& b : buffers.buffers) b.held = random() % 3 == 0;
        ShmBuffer* free = FreeShmBuffer(&buffers);
        if (free == nullptr) {
            EXPECT_TRUE(buffers.buffers[0].held && buffers.buffers[1].held);
            continue;
        }
        ASSERT_FALSE(free->held);
        ASSERT_LE(free->stale.count, StaleRects::Capacity);
        CopyRects(frame.data(), W, free->pixels, W, H, free->stale);
        free->stale.Clear();
        ASSERT_EQ(std::vector<uint32_t>(free->pixels, free->pixels + W * H), frame) << n;
    }
}

}  // namespace
