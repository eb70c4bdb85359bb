// The drawing operations the saver uses, with Direct3D 8's meanings and numbers.
//
// One back end is linked per build: render/d3d8 (a pass-through to d3d8.dll on Windows),
// render/switch elsewhere (OpenGL through EGL, render/gl, or the processor, render/cpu, chosen
// at run time), and a recording fake in the unit tests. The calls return Direct3D's result codes; a
// handle that comes back from a failed creation is null. None of these allocate in the per-frame
// path.
//
// The drawing model every back end gives:
//  - XYZ|TEX1 vertices (0x102, 20 bytes) go through world * view * projection, left-handed,
//    row vectors, depth 0..1, and land on the viewport with Direct3D's pixel centres (a
//    pixel's centre is at integer coordinates).
//  - XYZRHW|TEX1 vertices (0x104, 24 bytes) are already in pixels (y down) and are not lit.
//  - Vertices carry no colour: with lighting on (the default) a vertex's colour is
//    material ambient * the ambient render state + material emissive, its alpha the material
//    diffuse alpha; with lighting off or pretransformed vertices it is opaque white.
//  - Stage 0 modulates the texture colour by the vertex colour and takes the texture's alpha
//    (the defaults); without a texture the vertex colour alone is drawn.
//  - Bilinear or point sampling as the stage's filters say, never mipmaps; no culling when the
//    cull mode is none; no depth test when z is disabled; source-alpha blending when enabled.
//  - Texture memory is top row first; LockRect hands out row 0 and the pitch in bytes.
// What the saver never asks for (a state, value, vertex format, primitive type or depth format
// this header does not name) a back end may refuse with RenderErrorInvalidCall, as Direct3D
// refuses a call it cannot take.
#pragma once

#include <cstdint>

#include "host/native_window.h"
#include "support/vecmath.h"

struct RenderSystem;        // IDirect3D8
struct RenderDevice;        // IDirect3DDevice8
struct RenderTexture;       // IDirect3DTexture8
struct RenderVertexBuffer;  // IDirect3DVertexBuffer8

using RenderResult = int32_t;  // an HRESULT

constexpr RenderResult RenderOk = 0;
constexpr RenderResult RenderErrorDeviceLost = static_cast<RenderResult>(0x88760868u);
constexpr RenderResult RenderErrorDeviceNotReset = static_cast<RenderResult>(0x88760869u);
constexpr RenderResult RenderErrorNotAvailable = static_cast<RenderResult>(0x8876086Au);
constexpr RenderResult RenderErrorInvalidCall = static_cast<RenderResult>(0x8876086Cu);
constexpr RenderResult RenderErrorOutOfVideoMemory = static_cast<RenderResult>(0x8876017Cu);

constexpr uint32_t RenderSdkVersion = 220;  // D3D_SDK_VERSION
constexpr uint32_t DefaultAdapter = 0;
constexpr uint32_t DeviceTypeHal = 1;

// CreateDevice behaviour flags
constexpr uint32_t CreateSoftwareVertexProcessing = 0x20;
constexpr uint32_t CreateHardwareVertexProcessing = 0x40;
// GetDeviceCaps: the DevCaps bit for hardware transform and lighting
constexpr uint32_t DevCapsHwTransformAndLight = 0x10000;

// D3DFORMAT values
constexpr uint32_t FormatUnknown = 0;
constexpr uint32_t FormatR8G8B8 = 20;
constexpr uint32_t FormatA8R8G8B8 = 21;
constexpr uint32_t FormatX8R8G8B8 = 22;
constexpr uint32_t FormatR5G6B5 = 23;
constexpr uint32_t FormatX1R5G5B5 = 24;
constexpr uint32_t FormatA1R5G5B5 = 25;
constexpr uint32_t FormatA4R4G4B4 = 26;
constexpr uint32_t FormatR3G3B2 = 27;
constexpr uint32_t FormatA8 = 28;
constexpr uint32_t FormatA8R3G3B2 = 29;
constexpr uint32_t FormatX4R4G4B4 = 30;
constexpr uint32_t FormatA2B10G10R10 = 31;
constexpr uint32_t FormatL8 = 50;
constexpr uint32_t FormatD16 = 80;

constexpr uint32_t SwapEffectFlip = 2;
constexpr uint32_t PresentIntervalDefault = 0;

// Vertex formats (FVF codes)
constexpr uint32_t VertexFormatXyzTex1 = 0x102;
constexpr uint32_t VertexFormatXyzRhwTex1 = 0x104;

constexpr uint32_t UsageNone = 0;
constexpr uint32_t UsageWriteOnly = 8;
constexpr uint32_t PoolManaged = 1;
constexpr uint32_t LockNone = 0;
constexpr uint32_t LockReadOnly = 0x10;
constexpr uint32_t LockDiscard = 0x2000;
constexpr uint32_t ClearTarget = 1;
constexpr uint32_t ClearZBuffer = 2;

enum class TransformType : uint32_t { View = 2, Projection = 3, World = 256 };

enum class RenderStateType : uint32_t {
    ZEnable = 7,
    SrcBlend = 19,
    DestBlend = 20,
    CullMode = 22,
    AlphaBlendEnable = 27,
    Lighting = 137,
    Ambient = 139,
};

enum class TextureStageStateType : uint32_t {
    MagFilter = 16,
    MinFilter = 17,
    MipFilter = 18,
};

enum class PrimitiveType : uint32_t { TriangleList = 4 };

// Render and stage state values
constexpr uint32_t ZBufferFalse = 0;
constexpr uint32_t ZBufferTrue = 1;
constexpr uint32_t CullNone = 1;
constexpr uint32_t CullCounterClockwise = 3;
constexpr uint32_t BlendZero = 1;
constexpr uint32_t BlendOne = 2;
constexpr uint32_t BlendSrcAlpha = 5;
constexpr uint32_t BlendInvSrcAlpha = 6;
constexpr uint32_t TextureFilterNone = 0;
constexpr uint32_t TextureFilterPoint = 1;
constexpr uint32_t TextureFilterLinear = 2;

struct DisplayMode {
    uint32_t width;
    uint32_t height;
    uint32_t refreshRate;
    uint32_t format;
};

// D3DPRESENT_PARAMETERS, field for field.
struct PresentParameters {
    uint32_t backBufferWidth;
    uint32_t backBufferHeight;
    uint32_t backBufferFormat;
    uint32_t backBufferCount;
    uint32_t multiSampleType;
    uint32_t swapEffect;
    NativeWindow deviceWindow;
    int32_t windowed;
    int32_t enableAutoDepthStencil;
    uint32_t autoDepthStencilFormat;
    uint32_t flags;
    uint32_t fullScreenRefreshRateInHz;
    uint32_t fullScreenPresentationInterval;
};

struct Viewport {
    uint32_t x;
    uint32_t y;
    uint32_t width;
    uint32_t height;
    float minZ;
    float maxZ;
};

// D3DMATERIAL8; colours are r, g, b, a.
struct Material {
    float diffuse[4];
    float ambient[4];
    float specular[4];
    float emissive[4];
    float power;
};

struct LockedRect {
    int32_t pitch;  // bytes from one row to the next
    void* bits;     // row 0
};

#include "render/device_operations.h"

// Releases the object if present and clears the holder, so a second call does nothing.
template <typename Handle>
void ReleaseHandle(Handle*& holder)
{
    if (holder != nullptr) {
        Release(holder);
        holder = nullptr;
    }
}
