#include "render/frame_loop.h"

#include <cmath>

#include "render/device_lifecycle.h"
#include "render/saver_run.h"

namespace {

constexpr int32_t MinimumTexturePitch = SpotSize * 4;

}  // namespace

void UpdateLightSpot(SaverRun& run, int32_t k, uint32_t colorMask)
{
    const SceneState& scene = run.scene;
    const SurfaceFields& surface = run.surface;
    LightSpot& spot = run.scene.LightSpots[k];
    spot.phase += run.Clock.frameTime * spot.rate;
    // Out of float range after aeons at an absurd speed: start the path again rather than
    // feed an infinity to the rounding.
    if (!std::isfinite(spot.phase)) spot.phase = 0.0f;
    const SpotPlacement place =
        PlaceLightSpot(spot.phase, spot.freqX, spot.freqY, surface.DesktopWidth,
                       surface.DesktopHeight, scene.WorldWidth, scene.WorldHeight,
                       scene.SpotExtent);
    spot.posX = place.posX;
    spot.posY = place.posY;
    PlaceSpot(run.renderer, k, place, scene.SpotExtent);

    uint8_t* texels = nullptr;
    int32_t pitch = 0;
    if (!LockSpotTexels(run.renderer, k, texels, pitch)) return;
    // A pitch shorter than a row would make the rows overlap: not a texture we asked for.
    if (texels != nullptr && pitch >= MinimumTexturePitch) {
        FillSpotWindow(surface.NormalField, surface.DesktopWidth, surface.DesktopHeight, place.row0,
                       place.col0, surface.FalloffTable, colorMask, texels, pitch);
    }
    UnlockSpotTexels(run.renderer, k);
}

void UpdateFrame(SaverRun& run)
{
    FrameClock& clock = run.Clock;
    TickFrameClock(clock);
    // elapsed keeps the unscaled sum; only this tick's step follows the light speed.
    clock.frameTime *=
        static_cast<float>(LightSpeedInRange(run.Settings.LightSpeed)) * 0.01f + 0.25f;
    RefreshOverlayText(run.text, clock.elapsed, clock.fps);
    const int32_t activeSpots = ActiveSpotCount(run.Settings.NumLights);
    for (int32_t k = 0; k < activeSpots; ++k) UpdateLightSpot(run, k, run.scene.SpotColors[k]);
}

void DrawFrame(SaverRun& run)
{
    int32_t width = 0;
    int32_t height = 0;
    GetFrameSize(run.renderer, width, height);
    LayOutOverlay(run.text, run.Settings, width, height, run.overlay);
    PresentFrame(run.renderer, run.overlay);
}

void OnFrameTick(SaverRun& run)
{
    if (!HasRenderDevice(run)) return;
    UpdateFrame(run);
    DrawFrame(run);
}
