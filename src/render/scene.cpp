#include "render/scene.h"

#include <cmath>
#include <cstddef>

#include "render/device_lifecycle.h"
#include "render/saver_run.h"
#include "support/heap.h"
#include "surface/falloff_table.h"
#include "surface/normal_field.h"

namespace {

constexpr float PhaseRange = 127.0f;
constexpr uint32_t FalloffTableBytes = FalloffTableEntries * sizeof(Vec3);

void MakeSpotResources(SaverRun& run, int32_t k)
{
    CreateSpotResources(run.renderer, k);
    run.scene.LightSpots[k].phase = NextUniform(run.RandomGenerator) * PhaseRange;
}

void BuildSurfaceFields(SurfaceFields& surface)
{
    FreeAllocation(surface.NormalField);
    surface.NormalField = nullptr;
    FreeAllocation(surface.FalloffTable);
    surface.FalloffTable = nullptr;

    const int32_t width = surface.DesktopWidth;
    const int32_t height = surface.DesktopHeight;
    if (width > 0 && height > 0) {
        surface.NormalField = static_cast<Vec3*>(AllocateZeroed(
            static_cast<size_t>(width) * static_cast<size_t>(height) * sizeof(Vec3)));
    }
    surface.FalloffTable = static_cast<Vec3*>(AllocateZeroed(FalloffTableBytes));

    // A missing buffer (or height field) leaves its field out; the spots then stay dark.
    if (surface.NormalField != nullptr && surface.HeightField != nullptr && width >= 2 &&
        height >= 2) {
        BuildNormalField(surface.HeightField, width, height, surface.NormalField);
    }
    if (surface.FalloffTable != nullptr) BuildFalloffTable(surface.FalloffTable);
}

}  // namespace

void PickSpotColors(uint32_t colorLight, Ranmar& generator, uint32_t (&colors)[LightSpotCount])
{
    if (colorLight == ColorLightRandom) {
        for (uint32_t& color : colors) {
            // Exact in double: the index is the nearest (even on a tie) of r * 7, 0 to 7.
            const long index = std::lrint(static_cast<double>(NextUniform(generator)) * 7.0);
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

void SetupScene(SaverRun& run)
{
    if (!HasRenderDevice(run)) return;
    const int32_t activeSpots = ActiveSpotCount(run.Settings.NumLights);
    for (int32_t k = 0; k < activeSpots; ++k) MakeSpotResources(run, k);
    SceneState& scene = run.scene;
    FitWorldToScreen(run.surface.DesktopWidth, run.surface.DesktopHeight, scene.WorldWidth,
                     scene.WorldHeight, scene.SpotExtent);
    PickSpotColors(run.Settings.ColorLight, run.RandomGenerator, scene.SpotColors);
    ApplySceneStates(run.renderer);
    CreateFontTexture(run, FontTint);
    // Started before the builds, so that the first tick's frame time includes them.
    StartFrameClock(run.Clock);
    BuildSurfaceFields(run.surface);
}
