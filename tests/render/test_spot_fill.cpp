#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "reference_fill.h"
#include "render/light_spots.h"
#include "surface/falloff_table.h"

namespace {

constexpr SpotFillKernel AllKernels[] = {SpotFillKernel::Portable, SpotFillKernel::Sse2,
                                         SpotFillKernel::Avx2, SpotFillKernel::Avx512};
constexpr uint32_t Masks[] = {0xFFFFFFFFu, 0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFF00FFFFu};

struct Field {
    int32_t width;
    int32_t height;
    std::vector<Vec3> normals;  // exactly width * height: a read past it is caught by ASan
};

// Unit normals facing the viewer, as the normal field holds them, with the field's zero
// last column and bottom row.
Field RandomField(int32_t width, int32_t height, uint32_t seed)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> slope(-1.2f, 1.2f);
    Field field{width, height, std::vector<Vec3>(static_cast<size_t>(width) * height)};
    for (int32_t y = 0; y + 1 < height; ++y) {
        for (int32_t x = 0; x + 1 < width; ++x) {
            Vec3 n{slope(random), slope(random), -2.0f};
            NormalizeVec3(field.normals[static_cast<size_t>(y) * width + x], n);
        }
    }
    return field;
}

const std::vector<Vec3>& RealFalloffTable()
{
    static const std::vector<Vec3> table = [] {
        std::vector<Vec3> built(FalloffTableEntries);
        BuildFalloffTable(built.data());
        return built;
    }();
    return table;
}

std::vector<uint8_t> Texels(int32_t pitch)
{
    return std::vector<uint8_t>(static_cast<size_t>(pitch) * 256, 0xCD);
}

uint32_t TexelAt(const std::vector<uint8_t>& texels, int32_t pitch, int32_t t, int32_t c)
{
    uint32_t texel;
    std::memcpy(&texel, texels.data() + static_cast<size_t>(t) * pitch + 4 * c, 4);
    return texel;
}

// The texel every kernel makes for N = (d, 0, 0) and F = (1, 0, 0).
uint32_t ShadeOfDot(float d, uint32_t mask, SpotFillKernel kernel)
{
    std::vector<Vec3> normals(256 * 256, Vec3{d, 0.0f, 0.0f});
    std::vector<Vec3> falloff(256 * 256, Vec3{1.0f, 0.0f, 0.0f});
    std::vector<uint8_t> texels = Texels(1024);
    FillSpotTextureWith(kernel, normals.data(), 256, 0, 0, falloff.data(), mask, texels.data(),
                        1024);
    return TexelAt(texels, 1024, 255, 255);
}

// A float d whose product d * 255 is exactly s (s a half-integer).
float DotGiving(float s)
{
    float d = s / 255.0f;
    while (d * 255.0f < s) d = std::nextafter(d, 1.0f);
    while (d * 255.0f > s) d = std::nextafter(d, 0.0f);
    EXPECT_EQ(d * 255.0f, s);
    return d;
}

}  // namespace

TEST(SpotFill, EveryKernelMatchesTheLiteralFillBitForBit)
{
    const Field field = RandomField(700, 420, 1);
    const Vec3* falloff = RealFalloffTable().data();
    struct Window {
        int32_t row0, col0;
    };
    // Corners of the field (the zero last column and bottom row included) and odd offsets.
    const Window windows[] = {{0, 0}, {164, 444}, {0, 444}, {164, 0}, {77, 131}, {1, 3}};
    const int32_t pitches[] = {1024, 1024 + 36};
    for (const SpotFillKernel kernel : AllKernels) {
        if (!SpotFillKernelAvailable(kernel)) continue;
        SCOPED_TRACE(SpotFillKernelName(kernel));
        for (const Window& w : windows) {
            for (const int32_t pitch : pitches) {
                for (const uint32_t mask : Masks) {
                    std::vector<uint8_t> expected = Texels(pitch);
                    std::vector<uint8_t> actual = Texels(pitch);
                    ReferenceFillSpotTexture(field.normals.data(), field.width, w.row0, w.col0,
                                             falloff, mask, expected.data(), pitch);
                    FillSpotTextureWith(kernel, field.normals.data(), field.width, w.row0, w.col0,
                                        falloff, mask, actual.data(), pitch);
                    // Equal including the row padding, which neither touches.
                    ASSERT_EQ(actual, expected) << "window " << w.row0 << "," << w.col0 << " pitch "
                                                << pitch << " mask " << std::hex << mask;
                }
            }
        }
    }
    EXPECT_TRUE(SpotFillKernelAvailable(ActiveSpotFillKernel()));
}

TEST(SpotFill, KernelsAgreeOnValuesOutsideTheUsualRange)
{
    // Not what a unit normal gives, but the kernels must still agree with the literal fill:
    // large products, infinities and NaN all keep the same low byte.
    const float specials[] = {0.0f,
                              -0.0f,
                              1.0f,
                              -1.0f,
                              1.004f,
                              1.7f,
                              -3.9f,
                              1e6f,
                              8.5e6f,
                              3e9f,
                              1e30f,
                              std::numeric_limits<float>::infinity(),
                              std::numeric_limits<float>::quiet_NaN(),
                              1e-30f};
    std::mt19937 random(7);
    std::uniform_int_distribution<size_t> pick(0, std::size(specials) - 1);
    std::vector<Vec3> normals(256 * 300);
    std::vector<Vec3> falloff(256 * 256);
    for (Vec3& n : normals) n = Vec3{specials[pick(random)], specials[pick(random)], 0.5f};
    for (Vec3& f : falloff) f = Vec3{specials[pick(random)], 0.25f, specials[pick(random)]};
    std::vector<uint8_t> expected = Texels(1024);
    ReferenceFillSpotTexture(normals.data(), 256, 20, 0, falloff.data(), 0xFFFFFFFFu,
                             expected.data(), 1024);
    for (const SpotFillKernel kernel : AllKernels) {
        if (!SpotFillKernelAvailable(kernel)) continue;
        std::vector<uint8_t> actual = Texels(1024);
        FillSpotTextureWith(kernel, normals.data(), 256, 20, 0, falloff.data(), 0xFFFFFFFFu,
                            actual.data(), 1024);
        EXPECT_EQ(actual, expected) << SpotFillKernelName(kernel);
    }
}

TEST(SpotFill, ShadesRoundHalfwayToEvenAndKeepTheLowByte)
{
    for (const SpotFillKernel kernel : AllKernels) {
        if (!SpotFillKernelAvailable(kernel)) continue;
        SCOPED_TRACE(SpotFillKernelName(kernel));
        EXPECT_EQ(ShadeOfDot(0.0f, 0xFFFFFFFFu, kernel), 0u);
        EXPECT_EQ(ShadeOfDot(1.0f, 0xFFFFFFFFu, kernel), 0xFFFFFFFFu);
        EXPECT_EQ(ShadeOfDot(-1.0f, 0xFFFFFFFFu, kernel), 0xFFFFFFFFu);
        EXPECT_EQ(ShadeOfDot(DotGiving(0.5f), 0xFFFFFFFFu, kernel), 0u);
        EXPECT_EQ(ShadeOfDot(DotGiving(1.5f), 0xFFFFFFFFu, kernel), 0x02020202u);
        EXPECT_EQ(ShadeOfDot(-DotGiving(2.5f), 0xFFFFFFFFu, kernel), 0x02020202u);
        EXPECT_EQ(ShadeOfDot(DotGiving(254.5f), 0xFFFFFFFFu, kernel), 0xFEFEFEFEu);
        // 300 wraps to 44; 256 to 0.
        EXPECT_EQ(ShadeOfDot(300.0f / 255.0f, 0xFFFFFFFFu, kernel), 0x2C2C2C2Cu);
        EXPECT_EQ(ShadeOfDot(256.0f / 255.0f, 0xFFFFFFFFu, kernel), 0u);
        // The red mask keeps alpha and red.
        EXPECT_EQ(ShadeOfDot(DotGiving(128.5f), 0xFFFF0000u, kernel), 0x80800000u);
    }
}

TEST(SpotFill, AWindowOverTheEdgeReadsOnlyTheScreen)
{
    // A 200 x 150 screen: every window hangs over an edge.
    const Field field = RandomField(200, 150, 2);
    const Vec3* falloff = RealFalloffTable().data();
    struct Window {
        int32_t row0, col0;
    };
    const Window windows[] = {{-106, -56}, {0, 0}, {-50, -20}, {-300, 0}, {150, 0}, {0, 200}};
    for (const Window& w : windows) {
        std::vector<uint8_t> texels = Texels(1024 + 8);
        FillSpotWindow(field.normals.data(), field.width, field.height, w.row0, w.col0, falloff,
                       0xFF00FFFFu, texels.data(), 1024 + 8);
        for (int32_t t = 0; t < 256; ++t) {
            for (int32_t c = 0; c < 256; ++c) {
                const int32_t y = w.row0 + t;
                const int32_t x = w.col0 + c;
                uint32_t expected = 0;
                if (y >= 0 && y < field.height && x >= 0 && x < field.width) {
                    const Vec3& n = field.normals[static_cast<size_t>(y) * field.width + x];
                    const Vec3& f = falloff[t * 256 + c];
                    const float d = n.x * f.x + (n.y * f.y + n.z * f.z);
                    const auto b = static_cast<uint32_t>(std::lrint(std::fabs(d) * 255.0f)) & 0xFF;
                    expected = (b * 0x01010101u) & 0xFF00FFFFu;
                }
                ASSERT_EQ(TexelAt(texels, 1024 + 8, t, c), expected)
                    << "window " << w.row0 << "," << w.col0 << " texel " << t << "," << c;
            }
            // The row padding is not the fill's to write.
            ASSERT_EQ(texels[static_cast<size_t>(t) * 1032 + 1024], 0xCD);
        }
    }
}

TEST(SpotFill, AWindowInsideTheScreenIsTheWholeFill)
{
    const Field field = RandomField(300, 256, 3);
    const Vec3* falloff = RealFalloffTable().data();
    std::vector<uint8_t> expected = Texels(1024);
    std::vector<uint8_t> actual = Texels(1024);
    ReferenceFillSpotTexture(field.normals.data(), 300, 0, 44, falloff, 0xFFFFFFFFu,
                             expected.data(), 1024);
    FillSpotWindow(field.normals.data(), 300, 256, 0, 44, falloff, 0xFFFFFFFFu, actual.data(),
                   1024);
    EXPECT_EQ(actual, expected);
}

TEST(SpotFill, WithoutEitherFieldTheSpotIsTransparentBlack)
{
    const Field field = RandomField(400, 300, 4);
    const std::vector<uint8_t> black(256 * 1024, 0);
    std::vector<uint8_t> texels = Texels(1024);
    FillSpotWindow(nullptr, 400, 300, 10, 10, RealFalloffTable().data(), 0xFFFFFFFFu, texels.data(),
                   1024);
    EXPECT_EQ(texels, black);
    texels = Texels(1024);
    FillSpotWindow(field.normals.data(), 400, 300, 10, 10, nullptr, 0xFFFFFFFFu, texels.data(),
                   1024);
    EXPECT_EQ(texels, black);
    texels = Texels(1024);
    FillSpotWindow(nullptr, 0, 0, 0, 0, nullptr, 0xFFFFFFFFu, texels.data(), 1024);
    EXPECT_EQ(texels, black);
}
