// One unit surface normal per screen pixel, top row first.
#pragma once

#include <cstdint>

#include "support/vecmath.h"

// Fills normalField (W * H entries, zero-filled by the caller) from the bottom-up heightField.
// The last column and the bottom screen row are left untouched. When W or H is below 2 (a
// failed capture leaves 0 x 0) or a buffer is missing, nothing is read or written.
void BuildNormalField(const uint8_t* heightField, int32_t width, int32_t height, Vec3* normalField);
