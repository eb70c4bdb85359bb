// The two Linux back ends draw the same frame: the same spots (overlapping, cut by the frame's
// edges) and the same glyphs over a tinted sheet, offscreen, within two levels of each other.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "render/switch/renderer_back_end.h"
#include "support/posix/loaded_libraries.h"

namespace {

uint32_t Hash(uint32_t x)
{
    x = (x ^ (x >> 16)) * 0x7feb352du;
    return x ^ (x >> 15);
}

struct Size {
    int32_t width;
    int32_t height;
};

// The frame one back end draws, as RGBA rows; empty when it could not.
std::vector<uint8_t> Draw(const RendererBackEnd& backEnd, const Size& size)
{
    Renderer* r = backEnd.open();
    if (r == nullptr) return {};
    // The OpenGL driver goes when its display does; what it held then would read as leaks.
    KeepLoadedLibraries();
    std::vector<uint8_t> rgba;
    if (backEnd.createDevice(r, 0, size.width, size.height, RendererOptions{})) {
        std::vector<uint32_t> sheet(FontSheetSide * FontSheetSide);
        for (uint32_t i = 0; i < sheet.size(); ++i) {
            // As the core hands it over: four bits a channel, widened.
            sheet[i] = (Hash(i / 3) >> 28) * 17 << 24 | 0x00CC2222u;
        }
        backEnd.loadFontSheet(r, sheet.data());
        const SpotPlacement places[3] = {{0, 0, 0.0f, 0.0f, -40, size.width - 150},
                                         {0, 0, 0.0f, 0.0f, size.height / 2 - 128, 20},
                                         {0, 0, 0.0f, 0.0f, 30, -60}};
        for (int32_t k = 0; k < 3; ++k) {
            uint8_t* texels = nullptr;
            int32_t pitch = 0;
            if (!backEnd.createSpotResources(r, k) ||
                !backEnd.lockSpotTexels(r, k, texels, pitch)) {
                continue;
            }
            for (int32_t t = 0; t < SpotSize; ++t) {
                auto* row = reinterpret_cast<uint32_t*>(texels + t * pitch);
                for (int32_t c = 0; c < SpotSize; ++c) {
                    row[c] = (Hash(static_cast<uint32_t>(k * 65536 + t * 256 + c)) & 0xFF) *
                                 0x01010101u &
                             (k == 1 ? 0xFFFF0000u : 0xFF00FFFFu);
                }
            }
            backEnd.unlockSpotTexels(r, k);
            backEnd.placeSpot(r, k, places[k]);
        }
        OverlayFrame overlay{1, {}};
        overlay.lines[0].glyphCount = 10;
        for (uint32_t g = 0; g < 10; ++g) {
            const float x = 1.25f + 17.5f * static_cast<float>(g);
            overlay.lines[0].glyphs[g] = {x,
                                          3.5f,
                                          x + 17.5f,
                                          40.5f,
                                          (30.f + 9 * g) / 255,
                                          29 / 256.f,
                                          (41.f + 9 * g) / 255,
                                          58 / 256.f};
        }
        backEnd.presentFrame(r, overlay);
        rgba.resize(static_cast<size_t>(size.width) * size.height * 4);
        if (!backEnd.readFrame(r, rgba.data(), 4 * size.width)) rgba.clear();
    }
    backEnd.close(r);
    return rgba;
}

class CpuVsGl : public ::testing::TestWithParam<Size> {};

TEST_P(CpuVsGl, DrawTheSameFrameWithinAFewLevels)
{
    const Size size = GetParam();
    const std::vector<uint8_t> gl = Draw(gl::BackEnd, size);
    if (gl.empty()) GTEST_SKIP() << "no OpenGL through EGL here";
    const std::vector<uint8_t> cpu = Draw(cpu::BackEnd, size);
    ASSERT_EQ(cpu.size(), gl.size());
    int largest = 0;
    size_t over = 0;
    for (size_t i = 0; i < cpu.size(); ++i) {
        const int difference = std::abs(int{cpu[i]} - int{gl[i]});
        largest = std::max(largest, difference);
        over += difference > 2;
    }
    // Spots are blended exactly alike; the glyphs' bilinear weights may round apart.
    EXPECT_LE(largest, 3);
    EXPECT_EQ(over, 0u) << "values more than 2 levels apart";
}

INSTANTIATE_TEST_SUITE_P(Sizes, CpuVsGl,
                         ::testing::Values(Size{641, 479}, Size{200, 150}, Size{300, 700},
                                           Size{1, 1}));

}  // namespace
