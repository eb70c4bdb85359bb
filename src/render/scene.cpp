#include "render/scene.h"

#include <cmath>
#include <cstddef>

#include "render/device_lifecycle.h"
#include "render/frame_clock.h"
#include "render/text_overlay.h"
#include "settings/settings.h"
#include "support/heap.h"
#include "support/ranmar.h"
#include "surface/falloff_table.h"
#include "surface/height_field.h"
#include "surface/normal_field.h"

float WorldWidth = 4.0f;
float WorldHeight = 3.0f;
float SpotExtent = 0.0f;
uint32_t SpotColors[LightSpotCount] = {};

namespace {

constexpr float PhaseRange = 127.0f;
constexpr uint32_t FalloffTableBytes = FalloffTableEntries * sizeof(Vec3);

void MakeSpotResources(int32_t k)
{
    CreateSpotResources(SaverRenderer, k);
    LightSpots[k].phase = NextUniform() * PhaseRange;
}

void BuildSurfaceFields()
{
    FreeAllocation(NormalField);
    NormalField = nullptr;
    FreeAllocation(FalloffTable);
    FalloffTable = nullptr;

    const int32_t width = DesktopWidth;
    const int32_t height = DesktopHeight;
    if (width > 0 && height > 0) {
        NormalField = static_cast<Vec3*>(AllocateZeroed(
            static_cast<size_t>(width) * static_cast<size_t>(height) * sizeof(Vec3)));
    }
    FalloffTable = static_cast<Vec3*>(AllocateZeroed(FalloffTableBytes));

    // A missing buffer (or height field) leaves its field out; the spots then stay dark.
    if (NormalField != nullptr && HeightField != nullptr && width >= 2 && height >= 2) {
        BuildNormalField(HeightField, width, height, NormalField);
    }
    if (FalloffTable != nullptr) BuildFalloffTable(FalloffTable);
}

}  // namespace

void PickSpotColors(uint32_t colorLight, uint32_t (&colors)[LightSpotCount])
{
    if (colorLight == ColorLightRandom) {
        for (uint32_t& color : colors) {
            // Exact in double: the index is the nearest (even on a tie) of r * 7, 0 to 7.
            const long index = std::lrint(static_cast<double>(NextUniform()) * 7.0);
            color = LightColorTable[index];
        }
    } else {
        for (uint32_t& color : colors) color = LightColorFor(colorLight);
    }
}

void FitWorldToScreen(int32_t width, int32_t height, float& worldWidth, float& worldHeight,
                      float& spotExtent)
{
    worldWidth = 4.0f;
    worldHeight = 3.0f;
    if (width <= 0 || height <= 0) {
        spotExtent = 0.0f;
        return;
    }
    const auto w = static_cast<float>(width);
    const auto h = static_cast<float>(height);
    if (width < height) {
        worldHeight = 4.0f / w * h;
    } else {
        worldWidth = 3.0f / h * w;
    }
    spotExtent = static_cast<float>(SpotSize) / w * worldWidth;
}

void SetupScene()
{
    if (!HasRenderDevice()) return;

    const int32_t activeSpots = ActiveSpotCount(Settings.NumLights);
    for (int32_t k = 0; k < activeSpots; ++k) MakeSpotResources(k);

    FitWorldToScreen(DesktopWidth, DesktopHeight, WorldWidth, WorldHeight, SpotExtent);
    PickSpotColors(Settings.ColorLight, SpotColors);

    ApplySceneStates(SaverRenderer);
    CreateFontTexture(FontTint);

    // Started before the builds, so that the first tick's frame time includes them.
    StartFrameClock();
    BuildSurfaceFields();
}
