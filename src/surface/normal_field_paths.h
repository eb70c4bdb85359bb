// The builds behind BuildNormalField, one per instruction set. BuildNormalField takes the
// widest one the processor has; tests and benchmarks hold each of them to the same results.
#pragma once

#include <cstdint>

#include "support/vecmath.h"

enum class NormalFieldPath {
    Portable,  // plain C++, any processor
    Sse2,      // every x86-64 processor
    Avx2,      // chosen at run time
};

bool NormalFieldPathAvailable(NormalFieldPath path);

// As BuildNormalField, on the given path; an unavailable path falls back to Portable.
void BuildNormalFieldOn(NormalFieldPath path, const uint8_t* heightField, int32_t width,
                        int32_t height, Vec3* normalField);
