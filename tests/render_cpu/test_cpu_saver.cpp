// The saver itself on the processor back end: from one frame to the next only the squares the
// spots left and the squares they went to (and the overlay's lines) change, and the squares
// they left are black again.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "render/cpu/cpu_device.h"
#include "render/device_lifecycle.h"
#include "render/light_spots.h"
#include "render/scene.h"
#include "render/switch/render_switch.h"
#include "saver_frames.h"

namespace {

// The pixels a spot's quad covers, as Direct3D places it through the scene's matrices.
cpu::PixelRect SpotSquare(const LightSpot& spot, int32_t width, int32_t height)
{
    Matrix4 worldView;
    Matrix4 m;
    MultiplyMatrix(worldView, WorldMatrix, ViewMatrix);
    MultiplyMatrix(m, worldView, ProjectionMatrix);
    auto project = [&](double x, double y, double& sx, double& sy) {
        double clip[4];
        for (int c = 0; c < 4; ++c) clip[c] = x * m.m[0][c] + y * m.m[1][c] + m.m[3][c];
        sx = (1.0 + clip[0] / clip[3]) * width / 2.0;
        sy = (1.0 - clip[1] / clip[3]) * height / 2.0;
    };
    double left, top, right, bottom;
    project(spot.posX, spot.posY + SpotExtent, left, top);
    project(spot.posX + SpotExtent, spot.posY, right, bottom);
    auto first = [](double edge) { return static_cast<int32_t>(std::ceil(edge)); };
    return cpu::PixelRect{std::max(first(left), 0), std::max(first(top), 0),
                          std::min(first(right), width), std::min(first(bottom), height)};
}

bool Inside(const cpu::PixelRect& r, int32_t x, int32_t y)
{
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

bool InsideAny(const std::vector<cpu::PixelRect>& rects, int32_t x, int32_t y)
{
    return std::any_of(rects.begin(), rects.end(),
                       [&](const cpu::PixelRect& r) { return Inside(r, x, y); });
}

}  // namespace

TEST(CpuSaver, MovedSpotsLeaveBlackBehindAndOnlyChangedSquaresAreSent)
{
    SaverRun run;
    run.width = 1600;
    run.height = 900;
    run.numLights = 4;
    SaverSession session(run, true);
    ASSERT_TRUE(session.ok());
    session.Tick();
    std::vector<cpu::PixelRect> before;
    for (const LightSpot& spot : LightSpots) {
        before.push_back(SpotSquare(spot, run.width, run.height));
    }
    session.Tick();
    std::vector<cpu::PixelRect> after;
    for (const LightSpot& spot : LightSpots) {
        after.push_back(SpotSquare(spot, run.width, run.height));
    }
    const Frame frame = session.Read();
    ASSERT_FALSE(frame.pixels.empty());

    std::vector<cpu::PixelRect> sent(cpu::PresentedRects(SaverDevice, nullptr, 0));
    cpu::PresentedRects(SaverDevice, sent.data(), static_cast<uint32_t>(sent.size()));
    int64_t sentArea = 0;
    for (const cpu::PixelRect& r : sent) sentArea += int64_t{r.right - r.left} * (r.bottom - r.top);
    EXPECT_LT(sentArea, int64_t{run.width} * run.height * 6 / 10);
    for (const auto& squares : {before, after}) {
        for (const cpu::PixelRect& r : squares) {
            for (const auto& [x, y] : {std::pair{r.left, r.top},
                                       {r.right - 1, r.bottom - 1},
                                       {(r.left + r.right) / 2, (r.top + r.bottom) / 2}}) {
                EXPECT_TRUE(InsideAny(sent, x, y)) << x << "," << y;
            }
        }
    }

    // Outside this frame's squares and the overlay's lines (the top 8 % and the bottom 5 %)
    // everything is black, the squares the spots left included.
    int64_t left = 0;
    for (int32_t y = run.height * 8 / 100; y < run.height * 95 / 100; ++y) {
        for (int32_t x = 0; x < run.width; ++x) {
            if (InsideAny(after, x, y)) continue;
            const uint8_t* p = &frame.pixels[(static_cast<size_t>(y) * run.width + x) * 4];
            ASSERT_EQ(p[0] | p[1] | p[2], 0) << x << "," << y;
            left += InsideAny(before, x, y) ? 1 : 0;
        }
    }
    EXPECT_GT(left, 10000) << "the spots should have moved away from much of where they were";
}

TEST(CpuSaver, TheBackBufferFollowsTheWindowAndThePictureFillsIt)
{
    SaverRun run;
    run.width = 640;
    run.height = 400;
    SaverSession session(run, true);
    ASSERT_TRUE(session.ok());
    session.Tick();
    ASSERT_EQ(ResizeRenderer(SaverDevice, 320, 300), RenderOk);
    session.Tick();
    // The frame comes back at the window's size, the scene drawn to fit it.
    const Frame frame = session.Read();
    ASSERT_EQ(frame.width, 320);
    ASSERT_EQ(frame.height, 300);
    int64_t lit = 0;
    int32_t right = 0;
    for (int32_t y = 0; y < frame.height; ++y) {
        for (int32_t x = 0; x < frame.width; ++x) {
            const uint8_t* p = &frame.pixels[(static_cast<size_t>(y) * frame.width + x) * 4];
            if ((p[0] | p[1] | p[2]) != 0) {
                ++lit;
                right = std::max(right, x);
            }
        }
    }
    EXPECT_GT(lit, 320 * 300 / 10);
    EXPECT_GT(right, 200);
    EXPECT_EQ(ResizeRenderer(SaverDevice, 0, 300), RenderErrorInvalidCall);
}
