// Stand-ins for the settings store and the surface fields until their own code is merged.
#include <cmath>
#include <numbers>

#include "call_log.h"
#include "settings/settings.h"
#include "surface/falloff_table.h"
#include "surface/height_field.h"
#include "surface/normal_field.h"

int32_t DesktopWidth = 0;
int32_t DesktopHeight = 0;
uint32_t DesktopPixelCount = 0;
uint8_t* HeightField = nullptr;
Vec3* NormalField = nullptr;
Vec3* FalloffTable = nullptr;

void LoadSettings()
{
    CallLog.push_back("LoadSettings");
}

void SaveSettings()
{
    CallLog.push_back("SaveSettings");
}

void BuildNormalField(const uint8_t* heightField, int32_t width, int32_t height,
                      Vec3* normalField)
{
    const auto s = [&](int32_t x, int32_t y) {
        return static_cast<int32_t>(heightField[(height - 1 - y) * width + x]);
    };
    for (int32_t y = 0; y + 1 < height; ++y) {
        for (int32_t x = 0; x + 1 < width; ++x) {
            const float u = static_cast<float>(s(x, y) - s(x, y + 1)) * -0.009f;
            const float v = static_cast<float>(s(x + 1, y + 1) - s(x, y + 1)) * -0.009f;
            Vec3 n;
            CrossVec3(n, Vec3{-1.0f, 1.0f, u}, Vec3{1.0f, 1.0f, v});
            NormalizeVec3(normalField[y * width + x], n);
        }
    }
}

void BuildFalloffTable(Vec3* falloffTable)
{
    const float pi = std::numbers::pi_v<float>;
    Vec3* out = falloffTable;
    for (int32_t j = 256; j >= 1; --j) {
        for (int32_t i = 256; i >= 1; --i) {
            const float theta = static_cast<float>(i) * pi / 256.0f;
            const float phi = static_cast<float>(j - 128) * pi / 256.0f;
            Matrix4 ry, rz, m;
            RotationYMatrix(ry, theta);
            RotationZMatrix(rz, phi);
            MultiplyMatrix(m, rz, ry);
            Vec3 l;
            TransformPoint(l, Vec3{1.0f, 0.0f, 0.0f}, m);
            const float d = std::sqrt(static_cast<float>((i - 127) * (i - 127) +
                                                         (j - 127) * (j - 127)));
            float f = std::cos(d / 180.0f * 0.5f * pi);
            if (!(f > 0.0f)) f = 0.0f;
            *out++ = Vec3{l.x * f, l.y * f, l.z * f};
        }
    }
}

void HeightFieldFromSnapshot(const uint8_t* snapshot, int32_t width, int32_t height,
                             uint8_t* heightField)
{
    const int32_t stride = (3 * width + 3) & ~3;
    for (int32_t k = 0; k < height; ++k) {
        for (int32_t x = 0; x < width; ++x) {
            const uint8_t* p = snapshot + k * stride + 3 * x;
            heightField[k * width + x] =
                static_cast<uint8_t>((70u * p[0] + 100u * p[1] + 85u * p[2]) >> 9);
        }
    }
}
