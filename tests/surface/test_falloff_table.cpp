#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <set>
#include <utility>
#include <vector>

#include "reference_surface.h"
#include "surface/falloff_table.h"

namespace {

std::vector<Vec3> Build()
{
    std::vector<Vec3> table(FalloffTableEntries, Vec3{7.0f, 7.0f, 7.0f});
    BuildFalloffTable(table.data());
    return table;
}

const Vec3& Entry(const std::vector<Vec3>& table, int r, int c)
{
    return table[static_cast<size_t>(r) * 256 + c];
}

}  // namespace

TEST(FalloffTable, KnownEntries)
{
    const std::vector<Vec3> table = Build();
    struct Case {
        int r, c;
        float x, y, z;
    };
    const Case cases[] = {
        {128, 128, 0.0f, 0.0f, -0.999924f},
        {129, 129, 0.012271f, -0.012272f, -0.999849f},
        {128, 0, -0.430481f, 0.0f, 0.0f},
        {0, 128, 0.0f, 0.430481f, 0.0f},
        {128, 255, 0.453925f, 0.0f, -0.005571f},
        {255, 128, 0.0f, -0.453925f, -0.005571f},
        {255, 255, 0.000194f, -0.015785f, -0.000002f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "r " << c.r << " c " << c.c);
        const Vec3& e = Entry(table, c.r, c.c);
        EXPECT_NEAR(e.x, c.x, 1e-6f);
        EXPECT_NEAR(e.y, c.y, 1e-6f);
        EXPECT_NEAR(e.z, c.z, 1e-6f);
    }
    // Full weight at the falloff centre: the entry is a unit direction there.
    const Vec3& centre = Entry(table, 129, 129);
    EXPECT_NEAR(std::sqrt(centre.x * centre.x + centre.y * centre.y + centre.z * centre.z), 1.0f,
                1e-6f);
}

TEST(FalloffTable, ExactlyTheTwelveEntriesBeyondRadius180AreZero)
{
    const std::vector<Vec3> table = Build();
    const std::set<std::pair<int, int>> expected = {{0, 0}, {0, 1}, {0, 2},   {0, 3},
                                                    {1, 0}, {1, 1}, {1, 2},   {2, 0},
                                                    {2, 1}, {3, 0}, {0, 255}, {255, 0}};
    std::set<std::pair<int, int>> zero;
    for (int r = 0; r < 256; ++r) {
        for (int c = 0; c < 256; ++c) {
            const Vec3& e = Entry(table, r, c);
            if (e.x == 0.0f && e.y == 0.0f && e.z == 0.0f) zero.insert({r, c});
        }
    }
    EXPECT_EQ(zero, expected);
}

TEST(FalloffTable, MatchesTheLiteralBuildBitForBit)
{
    const std::vector<Vec3> table = Build();
    std::vector<Vec3> literal(FalloffTableEntries);
    ReferenceBuildFalloffTable(literal.data());
    EXPECT_EQ(std::memcmp(table.data(), literal.data(), table.size() * sizeof(Vec3)), 0);
    BuildFalloffTable(nullptr);  // no table, nothing to do
}
