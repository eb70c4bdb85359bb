#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "support/heap.h"
#include "surface/height_field.h"

namespace {

struct Bgr {
    uint8_t b, g, r;
};

// Colours with their heights under the grey rule.
struct KnownColour {
    Bgr pixel;
    uint8_t height;
};
constexpr std::array<KnownColour, 6> KnownColours = {{
    {{255, 255, 255}, 127},  // white
    {{0, 0, 0}, 0},          // black
    {{128, 128, 128}, 63},   // mid grey
    {{255, 0, 0}, 34},       // pure blue
    {{0, 255, 0}, 49},       // pure green
    {{0, 0, 255}, 42},       // pure red
}};

constexpr uint8_t RowFill = 0xFF;  // white if it were ever read as a pixel

// A 24-bit bottom-up snapshot of exactly its size, rows padded to 4 bytes with RowFill.
struct Snapshot {
    int32_t width;
    int32_t height;
    int32_t stride;
    std::vector<uint8_t> bytes;

    Snapshot(int32_t w, int32_t h)
        : width(w), height(h), stride((3 * w + 3) / 4 * 4),
          bytes(static_cast<size_t>(stride) * h, RowFill)
    {
        for (int32_t k = 0; k < h; ++k) {
            for (int32_t x = 0; x < w; ++x) Set(k, x, Bgr{0, 0, 0});
        }
    }
    void Set(int32_t row, int32_t column, Bgr pixel)
    {
        uint8_t* p = &bytes[static_cast<size_t>(row) * stride + 3 * column];
        p[0] = pixel.b;
        p[1] = pixel.g;
        p[2] = pixel.r;
    }
};

std::vector<uint8_t> Convert(const Snapshot& snapshot)
{
    std::vector<uint8_t> field(static_cast<size_t>(snapshot.width) * snapshot.height, 0xAA);
    HeightFieldFromSnapshot(snapshot.bytes.data(), snapshot.width, snapshot.height, field.data());
    return field;
}

}  // namespace

TEST(HeightField, GreyRuleGivesTheKnownHeights)
{
    Snapshot snapshot(static_cast<int32_t>(KnownColours.size()), 1);
    for (size_t n = 0; n < KnownColours.size(); ++n) {
        snapshot.Set(0, static_cast<int32_t>(n), KnownColours[n].pixel);
    }
    const std::vector<uint8_t> field = Convert(snapshot);
    for (size_t n = 0; n < KnownColours.size(); ++n) {
        EXPECT_EQ(field[n], KnownColours[n].height) << "colour " << n;
    }
}

TEST(HeightField, KeepsTheBottomUpRowOrderOfTheSnapshot)
{
    // Snapshot row 0 is the bottom screen row, row H - 1 the top one.
    constexpr int32_t w = 7;
    constexpr int32_t h = 5;
    Snapshot snapshot(w, h);
    snapshot.Set(h - 1, 0, KnownColours[0].pixel);      // top-left on screen
    snapshot.Set(0, 0, KnownColours[3].pixel);          // bottom-left
    snapshot.Set(h - 1, w - 1, KnownColours[4].pixel);  // top-right
    snapshot.Set(0, w - 1, KnownColours[5].pixel);      // bottom-right
    const std::vector<uint8_t> field = Convert(snapshot);

    EXPECT_EQ(field[(h - 1) * w], 127);
    EXPECT_EQ(field[0], 34);
    EXPECT_EQ(field[h * w - 1], 49);
    EXPECT_EQ(field[w - 1], 42);
    int marked = 0;
    for (uint8_t height : field) marked += height != 0;
    EXPECT_EQ(marked, 4);
}

TEST(HeightField, SkipsTheRowFillOfEveryWidth)
{
    // 3 W mod 4 takes every value; 1366 is the common screen whose rows carry 2 fill bytes.
    for (int32_t w : {1, 2, 3, 4, 5, 6, 7, 13, 1366}) {
        constexpr int32_t h = 6;
        Snapshot snapshot(w, h);
        if (w == 1366) {
            ASSERT_EQ(snapshot.stride, 4100);
        }
        auto colourAt = [](int32_t k, int32_t x) { return (k * 5 + x) % 6; };
        for (int32_t k = 0; k < h; ++k) {
            for (int32_t x = 0; x < w; ++x) snapshot.Set(k, x, KnownColours[colourAt(k, x)].pixel);
        }
        const std::vector<uint8_t> field = Convert(snapshot);
        int wrong = 0;
        for (int32_t k = 0; k < h; ++k) {
            for (int32_t x = 0; x < w; ++x) {
                wrong += field[k * w + x] != KnownColours[colourAt(k, x)].height;
            }
        }
        EXPECT_EQ(wrong, 0) << "width " << w;
    }
}

TEST(HeightField, EmptyOrMissingPicturesWriteNothing)
{
    const std::vector<uint8_t> snapshot(16, 0xFF);
    std::vector<uint8_t> field(16, 0xAA);
    HeightFieldFromSnapshot(snapshot.data(), 0, 0, field.data());
    HeightFieldFromSnapshot(snapshot.data(), 0, 4, field.data());
    HeightFieldFromSnapshot(snapshot.data(), 4, 0, field.data());
    HeightFieldFromSnapshot(snapshot.data(), -4, -1, field.data());
    HeightFieldFromSnapshot(nullptr, 2, 2, field.data());
    HeightFieldFromSnapshot(snapshot.data(), 2, 2, nullptr);
    for (uint8_t h : field) EXPECT_EQ(h, 0xAA);
}

TEST(FlatHeightFieldTest, AScreenThatCannotBeReadGivesAFlatSurfaceOfItsSize)
{
    SurfaceFields surface;
    ASSERT_TRUE(UseFlatHeightField(surface, 7, 3));
    EXPECT_EQ(surface.DesktopWidth, 7);
    EXPECT_EQ(surface.DesktopHeight, 3);
    EXPECT_EQ(surface.DesktopPixelCount, 21u);
    ASSERT_NE(surface.HeightField, nullptr);
    for (uint32_t i = 0; i < surface.DesktopPixelCount; ++i) EXPECT_EQ(surface.HeightField[i], 0);

    // No size, or one whose pixels do not fit 32 bits: the field stays as it was.
    const uint8_t* kept = surface.HeightField;
    for (const auto& [w, h] : {std::pair{0, 768}, std::pair{1024, -1}, std::pair{65536, 65536}}) {
        EXPECT_FALSE(UseFlatHeightField(surface, w, h)) << w << " x " << h;
        EXPECT_EQ(surface.HeightField, kept);
        EXPECT_EQ(surface.DesktopWidth, 7);
    }
    FreeSurfaceFields(surface);
}
