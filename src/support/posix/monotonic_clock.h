// The Linux hosts' one monotonic clock: CLOCK_MONOTONIC, the clock their timed waits use too.
#pragma once

#include <cstdint>

// Nanoseconds, whichever counter the frame clock uses.
int64_t MonotonicNanoseconds();
