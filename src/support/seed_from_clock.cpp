#include "support/clock.h"
#include "support/ranmar.h"

// Apart from ranmar.cpp, so that what uses the generator without a clock links without one.
void SeedFromClock(Ranmar& state)
{
    const uint32_t tick = ReadTickCount();
    // The second mask keeps bits, it is no modulus: both seeds stay inside the generator's range.
    SeedRanmar(state, (tick >> 16) & 0x3FFF, tick & 0x3573);
}
