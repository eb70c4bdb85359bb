// Time as the saver sees it: a monotonic high-resolution counter for the frame clock and the
// local wall-clock time for the overlay.
#pragma once

#include <cstdint>

// Counts per second of QueryCounter; constant for the run.
int64_t QueryCounterFrequency();
// A reading that never decreases.
int64_t QueryCounter();
// Milliseconds since the system started, wrapping at 2^32: the real clock even when the
// counter is a fixed one.
uint32_t ReadTickCount();

struct LocalTime {
    int32_t year;    // e.g. 2026
    int32_t month;   // 1..12
    int32_t day;     // 1..31
    int32_t hour;    // 0..23
    int32_t minute;  // 0..59
    int32_t second;  // 0..59
};

void ReadLocalTime(LocalTime& out);
