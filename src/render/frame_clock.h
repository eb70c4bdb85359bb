// The time between timer ticks, on the high-resolution counter.
#pragma once

#include <cstdint>

struct FrameClock {
    int64_t frequency = 0;   // counts per second, read when the clock starts
    int64_t lastCount = 0;   // reading at the previous tick (or at the start)
    float elapsed = 0.0f;    // seconds since the start: the sum of the unscaled frame times
    float frameTime = 0.0f;  // seconds of the last tick; UpdateFrame scales it by the light speed
    float fps = 0.0f;        // frames per second of the last tick
};

// Restarts the clock: called by SetupScene, before the surface fields are built, so that
// the first tick's frame time includes the builds.
void StartFrameClock(FrameClock& clock);
// Measures the tick since the previous one. A tick that saw no counts (or a clock without a
// frequency) has a frame time of 0 and keeps the last frame rate.
void TickFrameClock(FrameClock& clock);
