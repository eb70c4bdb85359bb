#include "gl_test_support.h"

#include <cmath>
#include <cstring>

void ExpectNear(const Rgba& p, int r, int g, int b, int tolerance, const char* where)
{
    EXPECT_NEAR(p.r, r, tolerance) << where;
    EXPECT_NEAR(p.g, g, tolerance) << where;
    EXPECT_NEAR(p.b, b, tolerance) << where;
}

bool IsBlack(const Rgba& p)
{
    return p.r == 0 && p.g == 0 && p.b == 0;
}

ScreenPoint ProjectLikeDirect3D(const Matrix4& m, double x, double y, int32_t width, int32_t height)
{
    double clip[4];
    for (int c = 0; c < 4; ++c) clip[c] = x * m.m[0][c] + y * m.m[1][c] + m.m[3][c];
    return ScreenPoint{(1.0 + clip[0] / clip[3]) * width / 2.0,
                       (1.0 - clip[1] / clip[3]) * height / 2.0};
}

void CoveredRange(double a, double b, int32_t& first, int32_t& last)
{
    first = static_cast<int32_t>(std::ceil(a));
    last = static_cast<int32_t>(std::ceil(b)) - 1;
}

PresentParameters SaverPresentParameters(uint32_t width, uint32_t height)
{
    PresentParameters params{};
    params.backBufferWidth = width;
    params.backBufferHeight = height;
    params.backBufferFormat = FormatX8R8G8B8;
    params.backBufferCount = 2;
    params.swapEffect = SwapEffectFlip;
    params.enableAutoDepthStencil = 1;
    params.autoDepthStencilFormat = FormatD16;
    params.fullScreenRefreshRateInHz = 60;
    return params;
}

void GlDeviceTest::SetUp()
{
    system = CreateRenderSystem(RenderSdkVersion);
    ASSERT_NE(system, nullptr);
    ASSERT_EQ(CreateDevice(system, DefaultAdapter, DeviceTypeHal, 0, CreateHardwareVertexProcessing,
                           SaverPresentParameters(Width, Height), device),
              RenderOk);
    ASSERT_NE(device, nullptr);
    KeepLoadedLibraries();
    ASSERT_EQ(CreateVertexBuffer(device, 6 * 24, UsageWriteOnly, VertexFormatXyzRhwTex1,
                                 PoolManaged, screenQuad),
              RenderOk);
    ASSERT_EQ(CreateVertexBuffer(device, 6 * 20, UsageWriteOnly, VertexFormatXyzTex1, PoolManaged,
                                 worldQuad),
              RenderOk);
    frame.assign(static_cast<size_t>(Width) * Height * 4, 0);
    SetRenderState(device, RenderStateType::CullMode, CullNone);
    SetRenderState(device, RenderStateType::ZEnable, ZBufferFalse);
    SetRenderState(device, RenderStateType::Lighting, 0);
}

void GlDeviceTest::TearDown()
{
    for (RenderTexture*& texture : textures) ReleaseHandle(texture);
    ReleaseHandle(screenQuad);
    ReleaseHandle(worldQuad);
    ReleaseHandle(device);
    ReleaseHandle(system);
}

void GlDeviceTest::PresentAndRead()
{
    ASSERT_EQ(Present(device), RenderOk);
    ReadFrame();
}

void GlDeviceTest::ReadFrame()
{
    ASSERT_EQ(gl::ReadPresentedFrame(device, frame.data(), Width * 4), RenderOk);
}

Rgba GlDeviceTest::Pixel(int32_t x, int32_t y) const
{
    const uint8_t* p = frame.data() + (static_cast<size_t>(y) * Width + x) * 4;
    return Rgba{p[0], p[1], p[2], p[3]};
}

RenderTexture* GlDeviceTest::MakeTexture(uint32_t width, uint32_t height,
                                         const std::vector<uint32_t>& texels)
{
    RenderTexture* texture = nullptr;
    EXPECT_EQ(CreateTexture(device, width, height, 1, UsageNone, FormatA8R8G8B8, PoolManaged,
                            texture),
              RenderOk);
    if (texture == nullptr) return nullptr;
    textures.push_back(texture);
    LockedRect locked{};
    EXPECT_EQ(LockRect(texture, 0, locked, nullptr, LockDiscard), RenderOk);
    EXPECT_GE(locked.pitch, static_cast<int32_t>(width * 4));
    for (uint32_t y = 0; y < height; ++y) {
        std::memcpy(static_cast<uint8_t*>(locked.bits) + static_cast<size_t>(y) * locked.pitch,
                    texels.data() + static_cast<size_t>(y) * width, width * 4);
    }
    EXPECT_EQ(UnlockRect(texture, 0), RenderOk);
    return texture;
}

void GlDeviceTest::DrawScreenQuad(RenderTexture* texture, float x0, float y0, float x1, float y1,
                                  float u0, float v0, float u1, float v1, float z)
{
    const float vertices[6][6] = {
        {x0, y1, z, 1.0f, u0, v1}, {x0, y0, z, 1.0f, u0, v0}, {x1, y1, z, 1.0f, u1, v1},
        {x1, y0, z, 1.0f, u1, v0}, {x1, y1, z, 1.0f, u1, v1}, {x0, y0, z, 1.0f, u0, v0},
    };
    DrawQuad(screenQuad, VertexFormatXyzRhwTex1, vertices, sizeof vertices, texture);
}

void GlDeviceTest::DrawWorldQuad(RenderTexture* texture, float left, float bottom, float right,
                                 float top, float z)
{
    const float vertices[6][5] = {
        {left, bottom, z, 0.0f, 1.0f}, {left, top, z, 0.0f, 0.0f},  {right, top, z, 1.0f, 0.0f},
        {left, bottom, z, 0.0f, 1.0f}, {right, top, z, 1.0f, 0.0f}, {right, bottom, z, 1.0f, 1.0f},
    };
    DrawQuad(worldQuad, VertexFormatXyzTex1, vertices, sizeof vertices, texture);
}

void GlDeviceTest::DrawQuad(RenderVertexBuffer* buffer, uint32_t format, const void* vertices,
                            uint32_t bytes, RenderTexture* texture)
{
    uint8_t* data = nullptr;
    ASSERT_EQ(LockVertexBuffer(buffer, 0, 0, data, LockNone), RenderOk);
    std::memcpy(data, vertices, bytes);
    ASSERT_EQ(UnlockVertexBuffer(buffer), RenderOk);
    SetVertexShader(device, format);
    SetStreamSource(device, 0, buffer, bytes / 6);
    SetTexture(device, 0, texture);
    ASSERT_EQ(DrawPrimitive(device, PrimitiveType::TriangleList, 0, 2), RenderOk);
}

void GlDeviceTest::SetFilter(uint32_t filter)
{
    SetTextureStageState(device, 0, TextureStageStateType::MagFilter, filter);
    SetTextureStageState(device, 0, TextureStageStateType::MinFilter, filter);
}

void GlDeviceTest::EnableSourceAlphaBlending()
{
    SetRenderState(device, RenderStateType::AlphaBlendEnable, 1);
    SetRenderState(device, RenderStateType::SrcBlend, BlendSrcAlpha);
    SetRenderState(device, RenderStateType::DestBlend, BlendInvSrcAlpha);
}
