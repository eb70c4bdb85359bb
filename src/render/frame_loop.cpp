#include "render/frame_loop.h"

#include <cmath>
#include <cstring>

#include "render/device.h"
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

void UploadQuad(RenderVertexBuffer* buffer, float left, float bottom)
{
    const float right = left + SpotExtent;
    const float top = bottom + SpotExtent;
    const float corners[6][2] = {{left, bottom}, {left, top},  {right, top},
                                 {left, bottom}, {right, top}, {right, bottom}};
    for (int i = 0; i < 6; ++i) {
        QuadTemplate[i].x = corners[i][0];
        QuadTemplate[i].y = corners[i][1];
    }
    if (buffer == nullptr) return;
    uint8_t* data = nullptr;
    if (LockVertexBuffer(buffer, 0, 0, data, LockNone) < 0 || data == nullptr) return;
    std::memcpy(data, QuadTemplate, ScreenQuadBytes);
    UnlockVertexBuffer(buffer);
}

void RefillTexture(RenderTexture* texture, int32_t row0, int32_t col0, uint32_t colorMask)
{
    if (texture == nullptr) return;
    LockedRect locked{};
    if (LockRect(texture, 0, locked, nullptr, LockDiscard) < 0) return;
    // A pitch shorter than a row would make the rows overlap: not a texture we asked for.
    if (locked.bits != nullptr && locked.pitch >= MinimumTexturePitch) {
        FillSpotWindow(NormalField, DesktopWidth, DesktopHeight, row0, col0, FalloffTable,
                       colorMask, static_cast<uint8_t*>(locked.bits), locked.pitch);
    }
    UnlockRect(texture, 0);
}

}  // namespace

void UpdateLightSpot(LightSpot& spot, uint32_t colorMask)
{
    spot.phase += Clock.frameTime * spot.rate;
    // Out of float range after aeons at an absurd speed: start the path again rather than
    // feed an infinity to the rounding.
    if (!std::isfinite(spot.phase)) spot.phase = 0.0f;

    const SpotPlacement place = PlaceLightSpot(spot.phase, spot.freqX, spot.freqY, DesktopWidth,
                                               DesktopHeight, WorldWidth, WorldHeight, SpotExtent);
    spot.posX = place.posX;
    spot.posY = place.posY;
    UploadQuad(spot.vertexBuffer, spot.posX, spot.posY);
    RefillTexture(spot.texture, place.row0, place.col0, colorMask);
}

void UpdateFrame()
{
    TickFrameClock();
    // elapsed keeps the unscaled sum; only this tick's step follows the light speed.
    Clock.frameTime *= static_cast<float>(LightSpeedInRange(Settings.LightSpeed)) * 0.01f + 0.25f;
    RefreshOverlayText(Clock.elapsed, Clock.fps);
    const int32_t activeSpots = ActiveSpotCount(Settings.NumLights);
    for (int32_t k = 0; k < activeSpots; ++k) UpdateLightSpot(LightSpots[k], SpotColors[k]);
}

void DrawFrame()
{
    RenderDevice* device = SaverDevice;
    if (TestCooperativeLevel(device) == RenderErrorDeviceLost) return;
    Clear(device, 0, nullptr, ClearTarget, 0x00000000, 0.0f, 0);
    BeginScene(device);
    SetVertexShader(device, VertexFormatXyzTex1);
    for (const LightSpot& spot : LightSpots) {
        // Spots beyond the count have no resources; a spot whose creation failed is left out
        // rather than drawn untextured.
        if (spot.vertexBuffer == nullptr || spot.texture == nullptr) continue;
        SetStreamSource(device, 0, spot.vertexBuffer, ScreenQuadStride);
        SetTexture(device, 0, spot.texture);
        DrawPrimitive(device, PrimitiveType::TriangleList, 0, 2);
    }
    DrawOverlay();
    EndScene(device);
    Present(device);
}

void OnFrameTick()
{
    if (SaverDevice == nullptr) return;
    UpdateFrame();
    DrawFrame();
}
