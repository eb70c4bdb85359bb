#include <cmath>

#include "render/render_fixture.h"

using FrameClockTest = RendererTest;

TEST_F(FrameClockTest, TicksMeasureTheCountsSinceThePreviousReading)
{
    FakeClock.frequency = 1000;
    FakeClock.counter = 5000;
    run.Clock.elapsed = 9.0f;
    run.Clock.frameTime = 9.0f;
    StartFrameClock(run.Clock);
    EXPECT_EQ(run.Clock.frequency, 1000);
    EXPECT_EQ(run.Clock.lastCount, 5000);
    EXPECT_EQ(run.Clock.elapsed, 0.0f);
    EXPECT_EQ(run.Clock.frameTime, 0.0f);

    FakeClock.counter = 5250;
    TickFrameClock(run.Clock);
    EXPECT_EQ(run.Clock.fps, 4.0f);
    EXPECT_EQ(run.Clock.frameTime, 0.25f);
    EXPECT_EQ(run.Clock.elapsed, 0.25f);
    EXPECT_EQ(run.Clock.lastCount, 5250);

    FakeClock.counter = 5750;
    TickFrameClock(run.Clock);
    EXPECT_EQ(run.Clock.fps, 2.0f);
    EXPECT_EQ(run.Clock.frameTime, 0.5f);
    EXPECT_EQ(run.Clock.elapsed, 0.75f);
}

TEST_F(FrameClockTest, ReadingsAreUsedAtTheirFullWidth)
{
    // Near 2^62 a float or a 32-bit value could not tell these readings apart.
    FakeClock.frequency = 3'000'000'000;
    FakeClock.counter = (int64_t{1} << 62) + 7;
    StartFrameClock(run.Clock);
    FakeClock.counter += 84'000'000;
    TickFrameClock(run.Clock);
    EXPECT_FLOAT_EQ(run.Clock.frameTime, 0.028f);
    EXPECT_FLOAT_EQ(run.Clock.fps, 3.0e9f / 84.0e6f);
}

TEST_F(FrameClockTest, ATickWithoutCountsTakesNoTimeAndKeepsTheRate)
{
    FakeClock.frequency = 1000;
    StartFrameClock(run.Clock);
    // The very first tick seeing no counts: nothing to divide by.
    TickFrameClock(run.Clock);
    EXPECT_EQ(run.Clock.frameTime, 0.0f);
    EXPECT_EQ(run.Clock.fps, 0.0f);
    EXPECT_EQ(run.Clock.elapsed, 0.0f);

    FakeClock.counter = 40;
    TickFrameClock(run.Clock);
    EXPECT_EQ(run.Clock.fps, 25.0f);
    TickFrameClock(run.Clock);  // the same reading again
    EXPECT_EQ(run.Clock.frameTime, 0.0f);
    EXPECT_EQ(run.Clock.fps, 25.0f);
    EXPECT_FLOAT_EQ(run.Clock.elapsed, 0.04f);

    // A counter that jumps back is measured from its new reading on.
    FakeClock.counter = 10;
    TickFrameClock(run.Clock);
    EXPECT_EQ(run.Clock.frameTime, 0.0f);
    FakeClock.counter = 30;
    TickFrameClock(run.Clock);
    EXPECT_FLOAT_EQ(run.Clock.frameTime, 0.02f);
    EXPECT_TRUE(std::isfinite(run.Clock.fps));
}

TEST_F(FrameClockTest, AClockWithoutFrequencyNeverMoves)
{
    FakeClock.frequency = 0;
    StartFrameClock(run.Clock);
    FakeClock.counter = 100;
    TickFrameClock(run.Clock);
    EXPECT_EQ(run.Clock.frameTime, 0.0f);
    EXPECT_EQ(run.Clock.elapsed, 0.0f);
    EXPECT_TRUE(std::isfinite(run.Clock.fps));
}
