#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "reference_surface.h"
#include "surface/normal_field.h"
#include "surface/normal_field_paths.h"

namespace {

// Stands for "never written": no normal has a component of 7.
constexpr Vec3 Untouched{7.0f, 7.0f, 7.0f};

struct Field {
    int32_t width;
    int32_t height;
    std::vector<uint8_t> heights;  // bottom row first

    Field(int32_t w, int32_t h) : width(w), height(h), heights(static_cast<size_t>(w) * h, 0) {}
    // Screen column x, row y counted from the top.
    uint8_t& At(int32_t x, int32_t y)
    {
        return heights[static_cast<size_t>(height - 1 - y) * width + x];
    }
};

using Builder = void (*)(const uint8_t*, int32_t, int32_t, Vec3*);

std::vector<Vec3> Build(const Field& field, Builder build = BuildNormalField)
{
    std::vector<Vec3> normals(field.heights.size(), Untouched);
    build(field.heights.data(), field.width, field.height, normals.data());
    return normals;
}

// The public build and each vector path this processor has, every one held to the literal.
std::vector<Builder> FastBuilders()
{
    std::vector<Builder> builders = {BuildNormalField};
    if (NormalFieldPathAvailable(NormalFieldPath::Sse2)) {
        builders.push_back([](const uint8_t* h, int32_t w, int32_t ht, Vec3* n) {
            BuildNormalFieldOn(NormalFieldPath::Sse2, h, w, ht, n);
        });
    }
    if (NormalFieldPathAvailable(NormalFieldPath::Avx2)) {
        builders.push_back([](const uint8_t* h, int32_t w, int32_t ht, Vec3* n) {
            BuildNormalFieldOn(NormalFieldPath::Avx2, h, w, ht, n);
        });
    }
    builders.push_back([](const uint8_t* h, int32_t w, int32_t ht, Vec3* n) {
        BuildNormalFieldOn(NormalFieldPath::Portable, h, w, ht, n);
    });
    return builders;
}

bool SameBits(const Vec3& a, const Vec3& b)
{
    return std::memcmp(&a, &b, sizeof(Vec3)) == 0;
}

// Index of the first element whose bits differ, or -1.
ptrdiff_t FirstDifference(const Vec3* a, const Vec3* b, size_t count)
{
    for (size_t n = 0; n < count; ++n) {
        if (!SameBits(a[n], b[n])) return static_cast<ptrdiff_t>(n);
    }
    return -1;
}

void ExpectNormal(const Vec3& n, float x, float y, float z)
{
    EXPECT_NEAR(n.x, x, 5e-6f);
    EXPECT_NEAR(n.y, y, 5e-6f);
    EXPECT_NEAR(n.z, z, 5e-6f);
}

// A screen rather than noise: a gradient under flat windows, some with sparse "glyphs".
Field DesktopLike(int32_t w, int32_t h, uint32_t seed)
{
    Field field(w, h);
    std::mt19937 random(seed);
    for (size_t n = 0; n < field.heights.size(); ++n)
        field.heights[n] = static_cast<uint8_t>(40 + n % 24);
    for (int window = 0; window < 40; ++window) {
        const int32_t x0 = static_cast<int32_t>(random() % w);
        const int32_t y0 = static_cast<int32_t>(random() % h);
        const auto shade = static_cast<uint8_t>(random() % 128);
        for (int32_t y = y0; y < std::min(h, y0 + h / 3 + 1); ++y) {
            for (int32_t x = x0; x < std::min(w, x0 + w / 3 + 1); ++x) {
                const bool ink = window % 3 == 0 && random() % 5 == 0;
                field.At(x, y) = ink ? static_cast<uint8_t>(127 - shade) : shade;
            }
        }
    }
    return field;
}

Field Noise(int32_t w, int32_t h, uint32_t seed)
{
    Field field(w, h);
    std::mt19937 random(seed);
    for (uint8_t& height : field.heights) height = static_cast<uint8_t>(random() % 128);
    return field;
}

}  // namespace

TEST(NormalField, SlopesOfTheKnownHeightTriples)
{
    // 2 x 2: the one normal comes from a (top-left), b (bottom-left) and c (bottom-right).
    struct Case {
        uint8_t a, b, c;
        float x, y, z;
    };
    const Case cases[] = {
        {60, 60, 60, 0.0f, 0.0f, -1.0f},
        {100, 0, 0, 0.37964f, -0.37964f, -0.84365f},
        {0, 0, 100, -0.37964f, -0.37964f, -0.84365f},
        {127, 0, 127, 0.0f, -0.75262f, -0.65846f},
        {0, 127, 0, 0.0f, 0.75262f, -0.65846f},
    };
    for (const Case& c : cases) {
        Field field(2, 2);
        field.At(0, 0) = c.a;
        field.At(1, 0) = 99;  // would only matter to the skipped last column
        field.At(0, 1) = c.b;
        field.At(1, 1) = c.c;
        const std::vector<Vec3> normals = Build(field);
        SCOPED_TRACE(testing::Message()
                     << "a " << int(c.a) << " b " << int(c.b) << " c " << int(c.c));
        ExpectNormal(normals[0], c.x, c.y, c.z);
        EXPECT_TRUE(SameBits(normals[1], Untouched));
        EXPECT_TRUE(SameBits(normals[2], Untouched));
        EXPECT_TRUE(SameBits(normals[3], Untouched));
    }
}

TEST(NormalField, FirstElementIsTheTopLeftScreenPixel)
{
    // Raise single pixels and see which normals change. The top-left screen pixel is the last
    // row of the height field and shapes element 0 only; the bottom-right one is the "below
    // and right" neighbour of the element above-left of it; the top-right one shapes nothing.
    constexpr int32_t w = 11;
    constexpr int32_t h = 6;
    Field field(w, h);
    field.heights[(h - 1) * w] = 100;  // top-left
    field.heights[w - 1] = 100;        // bottom-right
    field.heights[h * w - 1] = 100;    // top-right
    const std::vector<Vec3> normals = Build(field);

    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            SCOPED_TRACE(testing::Message() << "x " << x << " y " << y);
            const Vec3& n = normals[y * w + x];
            if (x == w - 1 || y == h - 1) {
                EXPECT_TRUE(SameBits(n, Untouched));
            } else if (x == 0 && y == 0) {
                ExpectNormal(n, 0.37964f, -0.37964f, -0.84365f);
            } else if (x == w - 2 && y == h - 2) {
                ExpectNormal(n, -0.37964f, -0.37964f, -0.84365f);
            } else {
                ExpectNormal(n, 0.0f, 0.0f, -1.0f);
            }
        }
    }
}

TEST(NormalField, MatchesTheLiteralBuildBitForBitOnEveryHeightTriple)
{
    // Two rows: the bottom one holds every (b, c) pair side by side, the top one a over each
    // pair, so every (a, b, c) is one normal; the pixels in between add more mixed triples.
    constexpr int32_t w = 2 * 128 * 128;
    Field field(w, 2);
    for (int32_t pair = 0; pair < 128 * 128; ++pair) {
        field.At(2 * pair, 1) = static_cast<uint8_t>(pair / 128);
        field.At(2 * pair + 1, 1) = static_cast<uint8_t>(pair % 128);
    }
    for (int32_t a = 0; a < 128; ++a) {
        for (int32_t x = 0; x < w; ++x)
            field.At(x, 0) = static_cast<uint8_t>(x % 2 == 0 ? a : x % 128);
        const std::vector<Vec3> literal = Build(field, ReferenceBuildNormalField);
        for (Builder build : FastBuilders()) {
            const std::vector<Vec3> fast = Build(field, build);
            const ptrdiff_t at = FirstDifference(fast.data(), literal.data(), fast.size());
            ASSERT_EQ(at, -1) << "a " << a << ", element " << at;
        }
    }
}

TEST(NormalField, MatchesTheLiteralBuildBitForBitOnScreensOfManySizes)
{
    // Odd widths leave partial vector groups at the row ends; the large ones take the
    // streaming path, with the array starting at each of the four float positions of 16 bytes.
    struct Size {
        int32_t w, h;
    };
    const Size sizes[] = {{2, 2},  {3, 3},     {9, 2},      {10, 3},     {17, 5},
                          {31, 7}, {640, 480}, {1366, 768}, {1025, 1023}};
    uint32_t seed = 1;
    for (const Size& size : sizes) {
        for (const Field& field :
             {DesktopLike(size.w, size.h, seed), Noise(size.w, size.h, seed)}) {
            const size_t count = field.heights.size();
            const std::vector<Vec3> literal = Build(field, ReferenceBuildNormalField);
            std::vector<float> storage(3 * count + 4);
            for (Builder build : FastBuilders()) {
                for (size_t shift = 0; shift < 4; ++shift) {
                    Vec3* fast = reinterpret_cast<Vec3*>(storage.data() + shift);
                    std::fill(fast, fast + count, Untouched);
                    build(field.heights.data(), field.width, field.height, fast);
                    const ptrdiff_t at = FirstDifference(fast, literal.data(), count);
                    EXPECT_EQ(at, -1) << size.w << " x " << size.h << ", float shift " << shift
                                      << ", element " << at;
                }
            }
        }
        ++seed;
    }
}

TEST(NormalField, ScreensBelowTwoPixelsOrMissingBuffersWriteNothing)
{
    // Exact-size buffers: the sanitizers see any access outside them.
    for (auto [w, h] : {std::pair{0, 0}, {1, 1}, {1, 6}, {6, 1}, {-3, 4}, {4, -3}}) {
        const size_t count =
            static_cast<size_t>(std::max(w, 0)) * static_cast<size_t>(std::max(h, 0));
        std::vector<uint8_t> heights(count, 50);
        std::vector<Vec3> normals(count, Untouched);
        for (Builder build : FastBuilders()) build(heights.data(), w, h, normals.data());
        for (const Vec3& n : normals) EXPECT_TRUE(SameBits(n, Untouched)) << w << " x " << h;
    }
    std::vector<uint8_t> heights(16, 50);
    std::vector<Vec3> normals(16, Untouched);
    BuildNormalField(nullptr, 4, 4, normals.data());
    for (const Vec3& n : normals) EXPECT_TRUE(SameBits(n, Untouched));
    BuildNormalField(heights.data(), 4, 4, nullptr);
}
