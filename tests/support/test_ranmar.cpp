#include <gtest/gtest.h>

#include <cmath>

#include "support/ranmar.h"

TEST(Ranmar, StartsWithLagIndicesOfProcessStart)
{
    Ranmar fresh;
    EXPECT_EQ(fresh.i97, 97);
    EXPECT_EQ(fresh.j97, 33);
}

TEST(Ranmar, ReproducesThePublishedTestSequence)
{
    Ranmar state;
    SeedRanmar(state, 1802, 9373);
    for (int n = 0; n < 20000; ++n) NextUniform(state);
    const double expected[] = {6533892, 14220222, 7275067, 6172232, 8354498, 10633180};
    for (double value : expected) {
        EXPECT_EQ(static_cast<double>(NextUniform(state)) * 16777216.0, value);
    }
}

TEST(Ranmar, ZeroSeedsGiveTheKnownFirstValues)
{
    Ranmar state;
    SeedRanmar(state, 0, 0);
    EXPECT_NEAR(NextUniform(state), 0.3451165, 5e-8);
    EXPECT_NEAR(NextUniform(state), 0.0801427, 5e-8);
    EXPECT_NEAR(NextUniform(state), 0.1782439, 5e-8);
}

TEST(Ranmar, SeedsAboveTheClampsActLikeTheClamps)
{
    Ranmar clamped, large, huge;
    SeedRanmar(clamped, 31328, 30081);
    SeedRanmar(large, 40000, 40000);
    SeedRanmar(huge, 0xFFFFFFFFu, 0xFFFFFFFFu);
    for (int n = 0; n < 1000; ++n) {
        const float expected = NextUniform(clamped);
        ASSERT_EQ(NextUniform(large), expected) << "call " << n;
        ASSERT_EQ(NextUniform(huge), expected) << "call " << n;
    }
}

TEST(Ranmar, ValuesStayInsideTheUnitIntervalOnTheGridOf24Bits)
{
    // The seeds of a whole day of tick counts, as the process start derives them.
    for (uint32_t tick = 0; tick < 86400000u; tick += 7777777u) {
        Ranmar state;
        SeedRanmar(state, (tick >> 16) & 0x3FFF, tick & 0x3573);
        for (int n = 0; n < 5000; ++n) {
            const float value = NextUniform(state);
            ASSERT_GE(value, 0.0f);
            ASSERT_LT(value, 1.0f);
            const float scaled = value * 16777216.0f;
            ASSERT_EQ(scaled, std::floor(scaled));
        }
    }
}
