#include "render/frame_clock.h"

#include "support/clock.h"

void StartFrameClock(FrameClock& clock)
{
    clock.frequency = QueryCounterFrequency();
    clock.lastCount = QueryCounter();
    clock.elapsed = 0.0f;
    clock.frameTime = 0.0f;
}

void TickFrameClock(FrameClock& clock)
{
    const int64_t reading = QueryCounter();
    // Unsigned difference: a counter that jumps backwards must not overflow the subtraction.
    const auto counts = static_cast<int64_t>(static_cast<uint64_t>(reading) -
                                             static_cast<uint64_t>(clock.lastCount));
    clock.lastCount = reading;
    // Two equal readings would make the rate infinite and the frame-rate text's integer
    // conversion meaningless; such a tick simply takes no time.
    if (counts <= 0 || clock.frequency <= 0) {
        clock.frameTime = 0.0f;
        return;
    }
    // Both 64-bit values are used whole; the rate is stored in single precision.
    clock.fps =
        static_cast<float>(static_cast<double>(clock.frequency) / static_cast<double>(counts));
    clock.frameTime = 1.0f / clock.fps;
    clock.elapsed += clock.frameTime;
}
