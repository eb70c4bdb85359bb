// The built-in demo desktop: the same picture every time, and one with enough edges for every
// light spot to find something to light.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <vector>

#include "surface/height_field.h"
#include "surface/picture/demo_desktop.h"

namespace {

std::vector<uint8_t> Draw(int32_t width, int32_t height, uint8_t fill)
{
    std::vector<uint8_t> snapshot(SnapshotStride(width) * static_cast<size_t>(height), fill);
    DrawDemoDesktop(width, height, snapshot.data());
    return snapshot;
}

std::vector<uint8_t> Heights(int32_t width, int32_t height)
{
    const std::vector<uint8_t> snapshot = Draw(width, height, 0);
    std::vector<uint8_t> heights(static_cast<size_t>(width) * height);
    HeightFieldFromSnapshot(snapshot.data(), width, height, heights.data());
    return heights;
}

// Neighbouring pixels (across and down) inside the block whose heights differ by 4 or more:
// what the normal field turns into visible relief.
int CountEdges(const std::vector<uint8_t>& heights, int32_t width, int32_t x0, int32_t y0,
               int32_t size)
{
    int edges = 0;
    for (int32_t y = y0; y < y0 + size - 1; ++y) {
        for (int32_t x = x0; x < x0 + size - 1; ++x) {
            const int h = heights[static_cast<size_t>(y) * width + x];
            if (std::abs(h - heights[static_cast<size_t>(y) * width + x + 1]) >= 4) ++edges;
            if (std::abs(h - heights[static_cast<size_t>(y + 1) * width + x]) >= 4) ++edges;
        }
    }
    return edges;
}

TEST(DemoDesktop, SameSizeGivesSamePictureWhateverTheBufferHeld)
{
    // 1366 makes rows that need fill bytes; those must be written too.
    const std::vector<uint8_t> first = Draw(1366, 768, 0x00);
    const std::vector<uint8_t> second = Draw(1366, 768, 0xA5);
    EXPECT_EQ(first, second);
}

TEST(DemoDesktop, IsNoFlatColourAnywhereASpotCanStand)
{
    const int32_t width = 1280;
    const int32_t height = 800;
    const std::vector<uint8_t> heights = Heights(width, height);
    const std::set<uint8_t> levels(heights.begin(), heights.end());
    EXPECT_GE(levels.size(), 40u);
    // Every 256 x 256 block of a grid over the screen has relief for a spot to light.
    for (int32_t y = 0; y + 256 <= height; y += 136) {
        for (int32_t x = 0; x + 256 <= width; x += 128) {
            EXPECT_GE(CountEdges(heights, width, x, y, 256), 500) << "block at " << x << ", " << y;
        }
    }
}

TEST(DemoDesktop, TinyAndOddSizesStayInsideTheBuffer)
{
    // The sanitizer build catches any write past the end; the fill bytes stay 0.
    const int32_t sizes[][2] = {{1, 1}, {2, 3}, {3, 2}, {5, 300}, {255, 17}, {301, 199}};
    for (const auto& size : sizes) {
        const int32_t width = size[0];
        const int32_t height = size[1];
        std::vector<uint8_t> snapshot(SnapshotStride(width) * height + 16, 0xEE);
        DrawDemoDesktop(width, height, snapshot.data());
        for (int32_t row = 0; row < height; ++row) {
            for (size_t b = 3 * static_cast<size_t>(width); b < SnapshotStride(width); ++b) {
                ASSERT_EQ(snapshot[row * SnapshotStride(width) + b], 0) << width << "x" << height;
            }
        }
        for (size_t b = SnapshotStride(width) * height; b < snapshot.size(); ++b) {
            ASSERT_EQ(snapshot[b], 0xEE) << width << "x" << height;
        }
    }
}

TEST(DemoDesktop, EmptySizeOrNoBufferWritesNothing)
{
    std::vector<uint8_t> snapshot(64, 0xEE);
    DrawDemoDesktop(0, 10, snapshot.data());
    DrawDemoDesktop(10, -1, snapshot.data());
    DrawDemoDesktop(10, 10, nullptr);
    EXPECT_EQ(snapshot, std::vector<uint8_t>(64, 0xEE));
}

}  // namespace
