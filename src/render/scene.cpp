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

ScreenQuad QuadTemplate[6] = {
    {0.0f, 0.0f, 0.0f, 0.0f, 1.0f}, {0.0f, 3.0f, 0.0f, 0.0f, 0.0f}, {4.0f, 3.0f, 0.0f, 1.0f, 0.0f},
    {0.0f, 0.0f, 0.0f, 0.0f, 1.0f}, {4.0f, 3.0f, 0.0f, 1.0f, 0.0f}, {4.0f, 0.0f, 0.0f, 1.0f, 1.0f},
};

float WorldWidth = 4.0f;
float WorldHeight = 3.0f;
float SpotExtent = 0.0f;
uint32_t SpotColors[LightSpotCount] = {};

Matrix4 WorldMatrix{};
Matrix4 ViewMatrix{};
Matrix4 ProjectionMatrix{};
Material SceneMaterial{};
RenderTexture* FontTexture = nullptr;

namespace {

constexpr Vec3 CameraEye{2.0f, 1.5f, -3.6f};
constexpr Vec3 CameraTarget{2.0f, 1.5f, 0.0f};
constexpr Vec3 CameraUp{0.0f, 1.0f, 0.0f};
constexpr float FieldOfView = 0.785398185f;  // pi / 4
constexpr float NearPlane = 1.0f;
constexpr float FarPlane = 100.0f;
constexpr float PhaseRange = 127.0f;
constexpr uint32_t FalloffTableBytes = FalloffTableEntries * sizeof(Vec3);

void MakeSpotResources(LightSpot& spot)
{
    // Nothing should be left over, but a second setup must not leak.
    ReleaseHandle(spot.vertexBuffer);
    ReleaseHandle(spot.texture);
    CreateVertexBuffer(SaverDevice, ScreenQuadBytes, UsageWriteOnly, VertexFormatXyzTex1,
                       PoolManaged, spot.vertexBuffer);
    CreateTexture(SaverDevice, SpotSize, SpotSize, 1, UsageNone, FormatA8R8G8B8, PoolManaged,
                  spot.texture);
    spot.phase = NextUniform() * PhaseRange;
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

void ApplyRenderStates()
{
    SetTransform(SaverDevice, TransformType::World, WorldMatrix);
    SetTransform(SaverDevice, TransformType::View, ViewMatrix);
    SetTransform(SaverDevice, TransformType::Projection, ProjectionMatrix);
    SetRenderState(SaverDevice, RenderStateType::CullMode, CullNone);
    SetRenderState(SaverDevice, RenderStateType::ZEnable, ZBufferFalse);
    SetRenderState(SaverDevice, RenderStateType::Ambient, 0x00FFFFFF);
    SetTextureStageState(SaverDevice, 0, TextureStageStateType::MipFilter, TextureFilterNone);
    SetTextureStageState(SaverDevice, 0, TextureStageStateType::MagFilter, TextureFilterLinear);
    SetTextureStageState(SaverDevice, 0, TextureStageStateType::MinFilter, TextureFilterLinear);
    SetMaterial(SaverDevice, SceneMaterial);
    SetRenderState(SaverDevice, RenderStateType::AlphaBlendEnable, 1);
    SetRenderState(SaverDevice, RenderStateType::SrcBlend, BlendSrcAlpha);
    SetRenderState(SaverDevice, RenderStateType::DestBlend, BlendInvSrcAlpha);
    CreateFontTexture(FontTint, FontTexture);
}

void SetupScene()
{
    if (SaverDevice == nullptr) return;

    const int32_t activeSpots = ActiveSpotCount(Settings.NumLights);
    for (int32_t k = 0; k < activeSpots; ++k) MakeSpotResources(LightSpots[k]);

    FitWorldToScreen(DesktopWidth, DesktopHeight, WorldWidth, WorldHeight, SpotExtent);
    PickSpotColors(Settings.ColorLight, SpotColors);

    IdentityMatrix(WorldMatrix);
    const float aspect = static_cast<float>(DevicePresentParameters.backBufferWidth) /
                         static_cast<float>(DevicePresentParameters.backBufferHeight);
    PerspectiveMatrix(ProjectionMatrix, FieldOfView, aspect, NearPlane, FarPlane);
    LookAtMatrix(ViewMatrix, CameraEye, CameraTarget, CameraUp);

    SceneMaterial = Material{};
    for (int c = 0; c < 4; ++c) {
        SceneMaterial.diffuse[c] = 1.0f;
        SceneMaterial.ambient[c] = 1.0f;
    }
    ApplyRenderStates();

    // Started before the builds, so that the first tick's frame time includes them.
    StartFrameClock();
    BuildSurfaceFields();
}
