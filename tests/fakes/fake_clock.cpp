#include "fake_clock.h"

FakeClockControl FakeClock;

int64_t QueryCounterFrequency()
{
    return FakeClock.frequency;
}

int64_t QueryCounter()
{
    ++FakeClock.readCount;
    const int64_t reading = FakeClock.counter;
    FakeClock.counter += FakeClock.stepPerRead;
    return reading;
}

uint32_t ReadTickCount()
{
    return FakeClock.tickCount;
}

void ReadLocalTime(LocalTime& out)
{
    out = FakeClock.localTime;
}
