// The fixed-step counter of reproducible headless runs, and the way back to the real clock.
#include <gtest/gtest.h>

#include "support/clock.h"
#include "support/posix/counter_mode.h"

namespace {

class CounterMode : public ::testing::Test {
protected:
    void TearDown() override { UseMonotonicCounter(); }
};

TEST_F(CounterMode, EveryReadingAdvancesByTheStep)
{
    UseFixedCounterStep(28000000);
    const int64_t first = QueryCounter();
    EXPECT_EQ(QueryCounter() - first, 28000000);
    EXPECT_EQ(QueryCounter() - first, 56000000);
    EXPECT_EQ(QueryCounterFrequency(), 1000000000);

    // Starting again starts from the same reading, so runs repeat exactly.
    UseFixedCounterStep(28000000);
    EXPECT_EQ(QueryCounter(), first);
}

TEST_F(CounterMode, ZeroStepGivesEqualReadings)
{
    UseFixedCounterStep(0);
    const int64_t first = QueryCounter();
    EXPECT_EQ(QueryCounter(), first);
}

TEST_F(CounterMode, LocalTimeFollowsTheCounterFromAFixedMoment)
{
    UseFixedCounterStep(1500000000);  // 1.5 s a reading
    LocalTime time{};
    ReadLocalTime(time);
    EXPECT_EQ(time.year, 2000);
    EXPECT_EQ(time.month, 1);
    EXPECT_EQ(time.day, 1);
    EXPECT_EQ(time.hour, 12);
    EXPECT_EQ(time.minute, 0);
    EXPECT_EQ(time.second, 0);
    for (int i = 0; i < 41; ++i) QueryCounter();  // 61.5 s
    ReadLocalTime(time);
    EXPECT_EQ(time.minute, 1);
    EXPECT_EQ(time.second, 1);
}

TEST_F(CounterMode, MonotonicCounterIsTheRealClockAgain)
{
    UseFixedCounterStep(1);
    UseMonotonicCounter();
    // The real clock is far past the fixed counter's start, and the year is the real one.
    EXPECT_GT(QueryCounter(), 1000000);
    LocalTime time{};
    ReadLocalTime(time);
    EXPECT_GT(time.year, 2020);
}

}  // namespace
