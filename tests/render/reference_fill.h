// The texel fill of a light spot written out literally, one texel at a time: the yardstick
// the fast kernels are held to, bit for bit, in the tests and the benchmark.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

#include "support/vecmath.h"

inline void ReferenceFillSpotTexture(const Vec3* normalField, int32_t width, int32_t row0,
                                     int32_t col0, const Vec3* falloffTable, uint32_t colorMask,
                                     uint8_t* texels, int32_t pitch)
{
    for (int32_t t = 0; t < 256; ++t) {
        for (int32_t c = 0; c < 256; ++c) {
            const Vec3& n = normalField[static_cast<int64_t>(row0 + t) * width + col0 + c];
            const Vec3& f = falloffTable[t * 256 + c];
            const float d = n.x * f.x + (n.y * f.y + n.z * f.z);
            const float s = std::fabs(d) * 255.0f;
            const uint32_t b = static_cast<uint32_t>(std::lrint(s)) & 0xFFu;
            const uint32_t texel = (b * 0x01010101u) & colorMask;
            std::memcpy(texels + static_cast<int64_t>(t) * pitch + 4 * c, &texel, 4);
        }
    }
}
