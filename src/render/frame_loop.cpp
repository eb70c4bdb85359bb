#include "render/frame_loop.h"

#include <cmath>

#include "render/device_lifecycle.h"
#include "render/frame_clock.h"
#include "render/scene.h"
#include "render/text_overlay.h"
#include "settings/settings.h"
#include "surface/falloff_table.h"
#include "surface/height_field.h"
#include "surface/normal_field.h"

namespace {

constexpr int32_t MinimumTexturePitch = SpotSize * 4;

// Laid out anew every frame; kept here so that drawing allocates nothing.
OverlayFrame Overlay;

}  // namespace

void UpdateLightSpot(int32_t k, uint32_t colorMask)
{
    LightSpot& spot = LightSpots[k];
    spot.phase += Clock.frameTime * spot.rate;
    // Out of float range after aeons at an absurd speed: start the path again rather than
    // feed an infinity to the rounding.
    if (!std::isfinite(spot.phase)) spot.phase = 0.0f;

    const SpotPlacement place = PlaceLightSpot(spot.phase, spot.freqX, spot.freqY, DesktopWidth,
                                               DesktopHeight, WorldWidth, WorldHeight, SpotExtent);
    spot.posX = place.posX;
    spot.posY = place.posY;
    PlaceSpot(SaverRenderer, k, place, SpotExtent);

    uint8_t* texels = nullptr;
    int32_t pitch = 0;
    if (!LockSpotTexels(SaverRenderer, k, texels, pitch)) return;
    // A pitch shorter than a row would make the rows overlap: not a texture we asked for.
    if (texels != nullptr && pitch >= MinimumTexturePitch) {
        FillSpotWindow(NormalField, DesktopWidth, DesktopHeight, place.row0, place.col0,
                       FalloffTable, colorMask, texels, pitch);
    }
    UnlockSpotTexels(SaverRenderer, k);
}

void UpdateFrame()
{
    TickFrameClock();
    // elapsed keeps the unscaled sum; only this tick's step follows the light speed.
    Clock.frameTime *= static_cast<float>(LightSpeedInRange(Settings.LightSpeed)) * 0.01f + 0.25f;
    RefreshOverlayText(Clock.elapsed, Clock.fps);
    const int32_t activeSpots = ActiveSpotCount(Settings.NumLights);
    for (int32_t k = 0; k < activeSpots; ++k) UpdateLightSpot(k, SpotColors[k]);
}

void DrawFrame()
{
    int32_t width = 0;
    int32_t height = 0;
    GetFrameSize(SaverRenderer, width, height);
    LayOutOverlay(width, height, Overlay);
    PresentFrame(SaverRenderer, Overlay);
}

void OnFrameTick()
{
    if (!HasRenderDevice()) return;
    UpdateFrame();
    DrawFrame();
}
