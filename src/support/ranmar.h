// Marsaglia-Zaman universal random generator (RANMAR), single-precision storage.
// Each run of the saver draws its spot phases and random colours from its own instance.
#pragma once

#include <cstdint>

struct Ranmar {
    float u[97] = {};  // u[0] is the published u(1)
    float c = 0.0f;
    float cd = 0.0f;
    float cm = 0.0f;
    int32_t i97 = 97;  // 1-based lag indices; seeding leaves them alone
    int32_t j97 = 33;
};

// Seeds above 31328 and 30081 are replaced by those maxima.
void SeedRanmar(Ranmar& state, uint32_t ij, uint32_t kl);
// A multiple of 2^-24 in [0, 1).
float NextUniform(Ranmar& state);

// The start of a run's seeding: from the clock's milliseconds, kept to the generator's ranges.
void SeedFromClock(Ranmar& state);
