#include "surface/falloff_table.h"

#include <cmath>
#include <numbers>

void BuildFalloffTable(Vec3* falloffTable)
{
    if (falloffTable == nullptr) return;

    constexpr double pi = std::numbers::pi;
    // The counters run from 256 down to 1, so entry (r, c) has i = 256 - c and j = 256 - r.
    // The y rotation depends on i only and the z rotation on j only: make each once.
    Matrix4 rotationY[256];
    for (int32_t i = 256; i >= 1; --i) {
        RotationYMatrix(rotationY[i - 1], static_cast<float>(i * pi / 256));
    }

    Vec3* entry = falloffTable;
    for (int32_t j = 256; j >= 1; --j) {
        Matrix4 rotationZ;
        RotationZMatrix(rotationZ, static_cast<float>((j - 128) * pi / 256));
        for (int32_t i = 256; i >= 1; --i) {
            Matrix4 rotation;
            MultiplyMatrix(rotation, rotationZ, rotationY[i - 1]);
            Vec3 light;
            TransformPoint(light, Vec3{1.0f, 0.0f, 0.0f}, rotation);

            // Centred one texel right of and below the direction centre; zero from radius 180.
            const float d =
                std::sqrt(static_cast<float>((i - 127) * (i - 127) + (j - 127) * (j - 127)));
            float f = std::cos(d / 180.0f * (0.5f * std::numbers::pi_v<float>));
            if (f <= 0.0f) f = 0.0f;
            *entry++ = Vec3{light.x * f, light.y * f, light.z * f};
        }
    }
}
