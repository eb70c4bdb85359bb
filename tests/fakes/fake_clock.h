// Clock for unit tests: the counter and the local time are whatever the test sets.
#pragma once

#include <cstdint>

#include "support/clock.h"

struct FakeClockControl {
    int64_t frequency = 1000;
    int64_t counter = 0;
    int64_t stepPerRead = 0;  // added after every QueryCounter
    int readCount = 0;
    uint32_t tickCount = 0;  // what ReadTickCount gives
    LocalTime localTime{2026, 12, 6, 10, 5, 7};
};

extern FakeClockControl FakeClock;
