#include "render/frame_clock.h"

#include "support/clock.h"

FrameClock Clock;

void StartFrameClock()
{
    Clock.frequency = QueryCounterFrequency();
    Clock.lastCount = QueryCounter();
    Clock.elapsed = 0.0f;
    Clock.frameTime = 0.0f;
}

void TickFrameClock()
{
    const int64_t reading = QueryCounter();
    // Unsigned difference: a counter that jumps backwards must not overflow the subtraction.
    const auto counts = static_cast<int64_t>(static_cast<uint64_t>(reading) -
                                             static_cast<uint64_t>(Clock.lastCount));
    Clock.lastCount = reading;
    // Two equal readings would make the rate infinite and the frame-rate text's integer
    // conversion meaningless; such a tick simply takes no time.
    if (counts <= 0 || Clock.frequency <= 0) {
        Clock.frameTime = 0.0f;
        return;
    }
    // Both 64-bit values are used whole; the rate is stored in single precision.
    Clock.fps =
        static_cast<float>(static_cast<double>(Clock.frequency) / static_cast<double>(counts));
    Clock.frameTime = 1.0f / Clock.fps;
    Clock.elapsed += Clock.frameTime;
}
