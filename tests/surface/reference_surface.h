// Plain, literal versions of the surface builds, step by step as the saver defines them. The
// fast builds must agree with these bit for bit; the benchmarks measure against them.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <numbers>

#include "support/vecmath.h"

// -0.009 as a float: bits 0xBC1374BC.
constexpr float ReferenceSlopeScale = -0.009f;

inline void ReferenceBuildNormalField(const uint8_t* heightField, int32_t width, int32_t height,
                                      Vec3* normalField)
{
    // s(x, y): height of screen column x, row y counted from the top.
    auto s = [&](int32_t x, int32_t y) -> int32_t {
        return heightField[static_cast<ptrdiff_t>(height - 1 - y) * width + x];
    };
    for (int32_t y = 0; y <= height - 2; ++y) {
        for (int32_t x = 0; x <= width - 2; ++x) {
            const int32_t a = s(x, y);
            const int32_t b = s(x, y + 1);
            const int32_t c = s(x + 1, y + 1);
            const float u = static_cast<float>(a - b) * ReferenceSlopeScale;
            const float v = static_cast<float>(c - b) * ReferenceSlopeScale;
            const Vec3 tangentU{-1.0f, 1.0f, u};
            const Vec3 tangentV{1.0f, 1.0f, v};
            Vec3 n;
            CrossVec3(n, tangentU, tangentV);
            NormalizeVec3(n, n);
            normalField[static_cast<ptrdiff_t>(y) * width + x] = n;
        }
    }
}

inline void ReferenceBuildFalloffTable(Vec3* falloffTable)
{
    constexpr double pi = std::numbers::pi;
    Vec3* entry = falloffTable;
    for (int32_t j = 256; j >= 1; --j) {
        for (int32_t i = 256; i >= 1; --i) {
            const float theta = static_cast<float>(i * pi / 256);
            const float phi = static_cast<float>((j - 128) * pi / 256);
            Matrix4 rotationY;
            Matrix4 rotationZ;
            Matrix4 rotation;
            RotationYMatrix(rotationY, theta);
            RotationZMatrix(rotationZ, phi);
            MultiplyMatrix(rotation, rotationZ, rotationY);
            Vec3 light;
            TransformPoint(light, Vec3{1.0f, 0.0f, 0.0f}, rotation);

            const float d =
                std::sqrt(static_cast<float>((i - 127) * (i - 127) + (j - 127) * (j - 127)));
            float f = std::cos(d / 180.0f * (0.5f * std::numbers::pi_v<float>));
            if (f <= 0.0f) f = 0.0f;
            *entry++ = Vec3{light.x * f, light.y * f, light.z * f};
        }
    }
}
