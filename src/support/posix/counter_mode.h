// Headless renders that must come out the same on every run do without the real clock: every
// QueryCounter reading then advances by exactly one fixed step, and the local time follows
// that counter from a fixed moment instead of the wall clock.
#pragma once

#include <cstdint>

// From now on each reading is the previous one plus step counts (of QueryCounterFrequency),
// starting from 0; a step of 0 (or less) gives the same reading every time. ReadLocalTime
// gives 2000-01-01 12:00:00 UTC plus the counter's seconds.
void UseFixedCounterStep(int64_t step);
// Back to the monotonic clock and the local time.
void UseMonotonicCounter();
