// Screen pixels of every layout an X server may hand out, into the 24-bit bottom-up snapshot.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "surface/height_field.h"
#include "surface/x11/screen_pixels.h"

namespace {

struct Rgb {
    uint32_t r;
    uint32_t g;
    uint32_t b;
};

// A pixel value from channel values already in the layout's own precision.
uint32_t Encode(const ScreenPixelLayout& layout, Rgb c, uint32_t extraBits = 0)
{
    const auto put = [](uint32_t mask, uint32_t value) {
        uint32_t shift = 0;
        while (((mask >> shift) & 1u) == 0) ++shift;
        return (value << shift) & mask;
    };
    return put(layout.redMask, c.r) | put(layout.greenMask, c.g) | put(layout.blueMask, c.b) |
           extraBits;
}

void Store(const ScreenPixelLayout& layout, uint32_t pixel, uint8_t* at)
{
    const uint32_t bytes = layout.bitsPerPixel / 8;
    for (uint32_t i = 0; i < bytes; ++i) {
        const uint32_t shift = layout.mostSignificantFirst ? 8 * (bytes - 1 - i) : 8 * i;
        at[i] = static_cast<uint8_t>(pixel >> shift);
    }
}

struct LayoutCase {
    const char* name;
    ScreenPixelLayout layout;
    uint32_t extraBits;          // set in every pixel outside the masks (alpha, padding)
    std::array<Rgb, 3> written;  // in the layout's precision
    std::array<Rgb, 3> read;     // expected 8-bit values
};

const Rgb Full8{255, 255, 255};
const Rgb Some8{200, 100, 7};
const Rgb Dark8{1, 0, 128};

const LayoutCase LayoutCases[] = {
    {"depth 24, little-endian",
     {32, false, 0xFF0000, 0xFF00, 0xFF},
     0,
     {Full8, Some8, Dark8},
     {Full8, Some8, Dark8}},
    {"depth 24, big-endian",
     {32, true, 0xFF0000, 0xFF00, 0xFF},
     0,
     {Full8, Some8, Dark8},
     {Full8, Some8, Dark8}},
    {"depth 24, blue high",
     {32, false, 0xFF, 0xFF00, 0xFF0000},
     0,
     {Full8, Some8, Dark8},
     {Full8, Some8, Dark8}},
    {"depth 32, alpha ignored",
     {32, false, 0xFF0000, 0xFF00, 0xFF},
     0xFF000000u,
     {Full8, Some8, Dark8},
     {Full8, Some8, Dark8}},
    {"depth 32, alpha low, big-endian",
     {32, true, 0xFF000000u, 0xFF0000, 0xFF00},
     0x80,
     {Full8, Some8, Dark8},
     {Full8, Some8, Dark8}},
    {"24 bits a pixel",
     {24, false, 0xFF0000, 0xFF00, 0xFF},
     0,
     {Full8, Some8, Dark8},
     {Full8, Some8, Dark8}},
    {"depth 30",
     {32, false, 0x3FF00000, 0xFFC00, 0x3FF},
     0xC0000000u,
     {Rgb{1023, 512, 0}, Rgb{1, 2, 3}, Rgb{1020, 1021, 1022}},
     {Rgb{255, 128, 0}, Rgb{0, 0, 1}, Rgb{254, 255, 255}}},
    {"depth 16, 5-6-5",
     {16, false, 0xF800, 0x7E0, 0x1F},
     0,
     {Rgb{31, 63, 31}, Rgb{16, 32, 8}, Rgb{1, 1, 0}},
     {Rgb{255, 255, 255}, Rgb{132, 130, 66}, Rgb{8, 4, 0}}},
    {"depth 15, big-endian",
     {16, true, 0x7C00, 0x3E0, 0x1F},
     0x8000,
     {Rgb{31, 0, 15}, Rgb{0, 31, 0}, Rgb{30, 1, 2}},
     {Rgb{255, 0, 123}, Rgb{0, 255, 0}, Rgb{247, 8, 16}}},
};

TEST(ScreenPixels, EveryLayoutGivesTheSameColours)
{
    // 3 x 2 pixels: the three colours on the top row, the same reversed below; each row has
    // 5 bytes of padding after its pixels.
    for (const LayoutCase& c : LayoutCases) {
        const int32_t width = 3;
        const int32_t height = 2;
        const uint32_t bytes = c.layout.bitsPerPixel / 8;
        const int32_t bytesPerLine = static_cast<int32_t>(width * bytes + 5);
        std::vector<uint8_t> rows(static_cast<size_t>(bytesPerLine) * height, 0xEE);
        for (int32_t x = 0; x < width; ++x) {
            Store(c.layout, Encode(c.layout, c.written[x], c.extraBits), &rows[x * bytes]);
            Store(c.layout, Encode(c.layout, c.written[2 - x], c.extraBits),
                  &rows[bytesPerLine + x * bytes]);
        }
        DesktopSnapshot snapshot;
        std::string reason;
        ASSERT_TRUE(ScreenPixelsToSnapshot(rows.data(), width, height, bytesPerLine, c.layout,
                                           snapshot, reason))
            << c.name << ": " << reason;
        ASSERT_EQ(snapshot.width, width);
        ASSERT_EQ(snapshot.height, height);
        const size_t stride = SnapshotStride(width);
        ASSERT_EQ(stride, 12u);
        ASSERT_EQ(snapshot.pixels.size(), stride * 2);
        for (int32_t x = 0; x < width; ++x) {
            // The screen's top row is the snapshot's last; pixels are blue, green, red.
            const uint8_t* top = &snapshot.pixels[stride + 3 * x];
            const uint8_t* bottom = &snapshot.pixels[3 * x];
            const Rgb& upper = c.read[x];
            const Rgb& lower = c.read[2 - x];
            EXPECT_EQ((std::array<uint32_t, 3>{top[2], top[1], top[0]}),
                      (std::array<uint32_t, 3>{upper.r, upper.g, upper.b}))
                << c.name << " top x=" << x;
            EXPECT_EQ((std::array<uint32_t, 3>{bottom[2], bottom[1], bottom[0]}),
                      (std::array<uint32_t, 3>{lower.r, lower.g, lower.b}))
                << c.name << " bottom x=" << x;
        }
        // The row fill belongs to no pixel and is zero.
        for (size_t k = 0; k < 2; ++k) {
            for (size_t i = 9; i < 12; ++i) EXPECT_EQ(snapshot.pixels[k * stride + i], 0) << c.name;
        }
    }
}

TEST(ScreenPixels, LayoutsThatCannotBeReadAreRefusedWithAReason)
{
    const struct {
        const char* name;
        ScreenPixelLayout layout;
        const char* mentioned;
    } refused[] = {
        {"8 bits a pixel", {8, false, 0xE0, 0x1C, 0x3}, "8-bit"},
        {"no red", {32, false, 0, 0xFF00, 0xFF}, "red"},
        {"green in two runs", {32, false, 0xFF0000, 0xF0F0, 0x0F}, "green"},
        {"blue beyond a 16-bit pixel", {16, false, 0xF800, 0x7E0, 0x1F0000}, "blue"},
        {"red of 24 bits", {32, false, 0xFFFFFF00u, 0xF0, 0x0F}, "red"},
        {"overlapping masks", {32, false, 0xFF0000, 0xFFFF00, 0xFF}, "overlap"},
    };
    const std::vector<uint8_t> rows(64, 0);
    for (const auto& c : refused) {
        std::string reason;
        EXPECT_FALSE(CanReadScreenPixels(c.layout, reason)) << c.name;
        EXPECT_NE(reason.find(c.mentioned), std::string::npos) << c.name << ": " << reason;
        DesktopSnapshot snapshot;
        snapshot.width = 9;
        EXPECT_FALSE(ScreenPixelsToSnapshot(rows.data(), 2, 2, 8, c.layout, snapshot, reason));
        EXPECT_EQ(snapshot.width, 0) << c.name;
        EXPECT_TRUE(snapshot.pixels.empty()) << c.name;
    }
}

TEST(ScreenPixels, RowsShorterThanTheWidthOrNoPixelsAreRefused)
{
    const ScreenPixelLayout layout;
    const std::vector<uint8_t> rows(64, 0);
    DesktopSnapshot snapshot;
    std::string reason;
    EXPECT_FALSE(ScreenPixelsToSnapshot(rows.data(), 4, 2, 15, layout, snapshot, reason));
    EXPECT_FALSE(ScreenPixelsToSnapshot(rows.data(), 0, 2, 16, layout, snapshot, reason));
    EXPECT_FALSE(ScreenPixelsToSnapshot(rows.data(), 4, 0, 16, layout, snapshot, reason));
    EXPECT_FALSE(ScreenPixelsToSnapshot(nullptr, 4, 2, 16, layout, snapshot, reason));
    EXPECT_TRUE(ScreenPixelsToSnapshot(rows.data(), 4, 2, 16, layout, snapshot, reason));
    EXPECT_TRUE(ScreenPixelsToSnapshot(rows.data(), 1, 1, 4, layout, snapshot, reason));
    EXPECT_EQ(snapshot.pixels.size(), 4u);
}

}  // namespace
