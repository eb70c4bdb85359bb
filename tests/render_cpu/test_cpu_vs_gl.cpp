// The saver's own picture drawn by the processor back end and by OpenGL (Mesa's software
// rasteriser, headless) from the same seeds and frame times: they must agree within a few
// levels everywhere.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "render/device.h"
#include "render/switch/render_switch.h"
#include "support/posix/loaded_libraries.h"
#include "support/vecmath.h"

#include "saver_frames.h"

namespace {

struct Case {
    const char* name;
    SaverRun run;
};

}  // namespace

TEST(CpuAgainstOpenGl, TheSaversFramesAgreeWithinAFewLevels)
{
    const Case cases[] = {
        {"1024x768, five spots", {1024, 768, 4, 7, true, 3, 400}},
        {"1024x768, one spot", {1024, 768, 0, 6, true, 2, 400}},
        {"odd 641x479, five spots", {641, 479, 4, 7, true, 3, 400}},
        {"wide 333x257, five spots", {333, 257, 4, 7, true, 2, 400}},
        {"smaller than a spot 200x120", {200, 120, 4, 7, true, 3, 400}},
        {"portrait, narrower than a spot 97x300", {97, 300, 0, 7, true, 2, 400}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Frame gl = RenderSaver(c.run, false);
        const Frame cpu = RenderSaver(c.run, true);
        ASSERT_FALSE(gl.pixels.empty());
        ASSERT_FALSE(cpu.pixels.empty());
        const FrameDifference d = CompareFrames(cpu, gl);
        std::printf("%-40s max %d, over 2: %lld of %lld lit\n", c.name, d.maxChannel,
                    static_cast<long long>(d.pixelsOverTwo), static_cast<long long>(d.litPixels));
        EXPECT_GT(d.litPixels, 0);
        EXPECT_LE(d.maxChannel, 3);
    }
}

namespace {

// Shapes the saver never draws, through the renderer switch on either back end: turned and
// perspective quads, a triangle cut by the near plane and the sides, untextured ones, culled
// ones, a minified one.
Frame DrawShapes(bool useCpu)
{
    constexpr int32_t Width = 256;
    constexpr int32_t Height = 192;
    UseCpuRenderer(useCpu);
    Frame frame;
    RenderSystem* system = CreateRenderSystem(RenderSdkVersion);
    RenderDevice* device = nullptr;
    PresentParameters params{};
    params.backBufferWidth = Width;
    params.backBufferHeight = Height;
    params.backBufferFormat = FormatX8R8G8B8;
    params.backBufferCount = 1;
    params.swapEffect = SwapEffectFlip;
    params.windowed = 1;
    RenderVertexBuffer* buffer = nullptr;
    RenderTexture* texture = nullptr;
    if (system == nullptr ||
        CreateDevice(system, DefaultAdapter, DeviceTypeHal, 0, CreateSoftwareVertexProcessing,
                     params, device) != RenderOk ||
        CreateVertexBuffer(device, 64 * 24, 0, 0, PoolManaged, buffer) != RenderOk ||
        CreateTexture(device, 32, 32, 1, 0, FormatA8R8G8B8, PoolManaged, texture) != RenderOk) {
        ReleaseHandle(buffer);
        ReleaseHandle(device);
        ReleaseHandle(system);
        UseCpuRenderer(false);
        return frame;
    }
    if (!useCpu) KeepLoadedLibraries();
    LockedRect locked{};
    LockRect(texture, 0, locked, nullptr, 0);
    uint32_t state = 12345;
    for (int32_t y = 0; y < 32; ++y) {
        auto* row =
            reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.bits) + y * locked.pitch);
        for (int32_t x = 0; x < 32; ++x) {
            state = state * 1664525u + 1013904223u;
            // Smooth enough that a sub-texel place does not decide a pixel, with alpha.
            row[x] = (0x60u + 4u * static_cast<uint32_t>(x + y)) << 24 | (state >> 8 & 0x3F3F3F) |
                     static_cast<uint32_t>(x * 6) << 16 | static_cast<uint32_t>(y * 6);
        }
    }
    UnlockRect(texture, 0);

    auto draw = [&](uint32_t format, const std::vector<float>& vertices) {
        const uint32_t stride = format == VertexFormatXyzRhwTex1 ? 24 : 20;
        uint8_t* data = nullptr;
        LockVertexBuffer(buffer, 0, 0, data, 0);
        std::memcpy(data, vertices.data(), vertices.size() * sizeof(float));
        UnlockVertexBuffer(buffer);
        SetVertexShader(device, format);
        SetStreamSource(device, 0, buffer, stride);
        DrawPrimitive(device, PrimitiveType::TriangleList, 0,
                      static_cast<uint32_t>(vertices.size() * sizeof(float) / stride / 3));
    };
    SetRenderState(device, RenderStateType::ZEnable, ZBufferFalse);
    SetRenderState(device, RenderStateType::CullMode, CullNone);
    SetRenderState(device, RenderStateType::Lighting, 0);
    SetRenderState(device, RenderStateType::AlphaBlendEnable, 1);
    SetRenderState(device, RenderStateType::SrcBlend, BlendSrcAlpha);
    SetRenderState(device, RenderStateType::DestBlend, BlendInvSrcAlpha);
    SetTextureStageState(device, 0, TextureStageStateType::MagFilter, TextureFilterLinear);
    SetTextureStageState(device, 0, TextureStageStateType::MinFilter, TextureFilterLinear);
    Clear(device, 0, nullptr, ClearTarget, 0x00102030u, 0.0f, 0);
    BeginScene(device);
    SetTexture(device, 0, texture);
    // A quad turned by about 20 degrees, magnified.
    draw(VertexFormatXyzRhwTex1,
         {20.3f,  30.1f, 0, 1, 0, 0, 110.7f, 62.9f,  0, 1, 1, 0, -8.4f, 112.6f, 0, 1, 0, 1,
          110.7f, 62.9f, 0, 1, 1, 0, 82.0f,  145.4f, 0, 1, 1, 1, -8.4f, 112.6f, 0, 1, 0, 1});
    // A floor seen in perspective, and a triangle reaching behind the eye.
    Matrix4 view;
    Matrix4 projection;
    LookAtMatrix(view, Vec3{0.0f, 2.0f, -4.0f}, Vec3{0.5f, 0.0f, 2.0f}, Vec3{0.0f, 1.0f, 0.0f});
    PerspectiveMatrix(projection, 0.9f, static_cast<float>(Width) / Height, 0.5f, 50.0f);
    SetTransform(device, TransformType::View, view);
    SetTransform(device, TransformType::Projection, projection);
    draw(VertexFormatXyzTex1,
         {1.0f, 0.0f, 0.0f, 0, 2, 1.0f, 0.0f, 6.0f, 0, 0, 4.0f, 0.0f, 6.0f, 2, 0,
          1.0f, 0.0f, 0.0f, 0, 2, 4.0f, 0.0f, 6.0f, 2, 0, 4.0f, 0.0f, 0.0f, 2, 2});
    draw(VertexFormatXyzTex1,
         {-2.0f, 1.0f, -6.0f, 0, 0, -1.0f, 0.5f, 3.0f, 1, 0, -3.0f, 0.0f, 3.0f, 0, 1});
    // Untextured, lit by the material.
    SetTexture(device, 0, nullptr);
    SetRenderState(device, RenderStateType::Lighting, 1);
    SetRenderState(device, RenderStateType::Ambient, 0x00FFFFFF);
    Material material{};
    material.ambient[0] = 0.9f;
    material.ambient[1] = 0.5f;
    material.emissive[2] = 0.25f;
    material.diffuse[3] = 0.6f;
    SetMaterial(device, material);
    draw(VertexFormatXyzTex1,
         {-1.0f, 3.0f, 4.0f, 0, 0, 2.0f, 3.5f, 4.0f, 0, 0, 0.0f, 1.5f, 3.0f, 0, 0});
    // A sliver reaching hundreds of screens to either side: cut down to the visible part.
    draw(VertexFormatXyzTex1,
         {-5000.0f, 1.0f, 8.0f, 0, 0, 5000.0f, 1.0f, 8.0f, 0, 0, 0.0f, 1.3f, 8.0f, 0, 0});
    // Culling counter-clockwise ones, as a fresh device does: the first is dropped.
    SetRenderState(device, RenderStateType::CullMode, 3);
    draw(VertexFormatXyzRhwTex1,
         {200.0f, 20.0f, 0, 1, 0, 0, 200.0f, 60.0f, 0, 1, 0, 0, 240.0f, 20.0f,  0, 1, 0, 0,
          200.0f, 80.0f, 0, 1, 0, 0, 240.0f, 80.0f, 0, 1, 0, 0, 200.0f, 120.0f, 0, 1, 0, 0});
    SetRenderState(device, RenderStateType::CullMode, CullNone);
    // Minified and point sampled, as a tiny line of text would be. (Off the pixel grid: a
    // pixel centre exactly on a texel's edge may go either way.)
    SetTexture(device, 0, texture);
    SetTextureStageState(device, 0, TextureStageStateType::MinFilter, TextureFilterPoint);
    draw(VertexFormatXyzRhwTex1,
         {150.3f, 170.3f, 0, 1, 0, 1, 150.3f, 160.3f, 0, 1, 0, 0, 250.3f, 170.3f, 0, 1, 4, 1,
          250.3f, 160.3f, 0, 1, 4, 0, 250.3f, 170.3f, 0, 1, 4, 1, 150.3f, 160.3f, 0, 1, 0, 0});
    EndScene(device);
    Present(device);
    frame.width = Width;
    frame.height = Height;
    frame.pixels.assign(Width * Height * 4, 0);
    if (ReadRendererFrame(device, frame.pixels.data(), 4 * Width) != RenderOk) frame.pixels.clear();
    ReleaseHandle(texture);
    ReleaseHandle(buffer);
    ReleaseHandle(device);
    ReleaseHandle(system);
    UseCpuRenderer(false);
    return frame;
}

}  // namespace

TEST(CpuAgainstOpenGl, ShapesTheSaverDoesNotDrawAgreeToo)
{
    const Frame gl = DrawShapes(false);
    const Frame cpu = DrawShapes(true);
    ASSERT_FALSE(gl.pixels.empty());
    ASSERT_FALSE(cpu.pixels.empty());
    const FrameDifference d = CompareFrames(cpu, gl);
    std::printf("shapes: max %d, over 2: %lld\n", d.maxChannel,
                static_cast<long long>(d.pixelsOverTwo));
    EXPECT_LE(d.maxChannel, 3);
}
