// The light direction with its cosine falloff for each texel of a 256 x 256 spot.
#pragma once

#include <cstdint>

#include "support/vecmath.h"

constexpr int32_t FalloffTableEntries = 256 * 256;

// Fills all 65,536 entries, row by row from the top-left texel.
void BuildFalloffTable(Vec3* falloffTable);
