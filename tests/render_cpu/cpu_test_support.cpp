#include "cpu_test_support.h"

#include <cstring>

#include "support/vecmath.h"

PresentParameters FullScreenParameters(uint32_t width, uint32_t height)
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

void CpuDeviceTest::MakeDevice(int32_t w, int32_t h)
{
    TearDown();
    width = w;
    height = h;
    system = cpu::CreateRenderSystem(RenderSdkVersion);
    ASSERT_NE(system, nullptr);
    ASSERT_EQ(cpu::CreateDevice(
                  system, DefaultAdapter, DeviceTypeHal, 0, CreateHardwareVertexProcessing,
                  FullScreenParameters(static_cast<uint32_t>(w), static_cast<uint32_t>(h)), device),
              RenderOk);
    ASSERT_EQ(cpu::CreateVertexBuffer(device, 16 * 24, UsageWriteOnly, 0, PoolManaged, vertices),
              RenderOk);
    frame.assign(static_cast<size_t>(w) * h * 4, 0);
    cpu::SetRenderState(device, RenderStateType::CullMode, CullNone);
    cpu::SetRenderState(device, RenderStateType::ZEnable, ZBufferFalse);
    cpu::SetRenderState(device, RenderStateType::Lighting, 0);
}

void CpuDeviceTest::TearDown()
{
    for (RenderTexture* texture : textures) cpu::Release(texture);
    textures.clear();
    if (vertices != nullptr) cpu::Release(vertices);
    if (device != nullptr) cpu::Release(device);
    if (system != nullptr) cpu::Release(system);
    vertices = nullptr;
    device = nullptr;
    system = nullptr;
}

void CpuDeviceTest::PresentAndRead()
{
    ASSERT_EQ(cpu::Present(device), RenderOk);
    ASSERT_EQ(cpu::ReadPresentedFrame(device, frame.data(), 4 * width), RenderOk);
}

Pixel CpuDeviceTest::At(int32_t x, int32_t y) const
{
    const uint8_t* p = frame.data() + (static_cast<size_t>(y) * width + x) * 4;
    return Pixel{p[0], p[1], p[2], p[3]};
}

bool CpuDeviceTest::Black(int32_t x, int32_t y) const
{
    const Pixel p = At(x, y);
    return p.r == 0 && p.g == 0 && p.b == 0;
}

RenderTexture* CpuDeviceTest::MakeTexture(uint32_t w, uint32_t h,
                                          const std::vector<uint32_t>& texels)
{
    RenderTexture* texture = nullptr;
    EXPECT_EQ(cpu::CreateTexture(device, w, h, 1, UsageNone, FormatA8R8G8B8, PoolManaged, texture),
              RenderOk);
    if (texture == nullptr) return nullptr;
    textures.push_back(texture);
    LockedRect locked{};
    EXPECT_EQ(cpu::LockRect(texture, 0, locked, nullptr, LockDiscard), RenderOk);
    for (uint32_t y = 0; y < h; ++y) {
        std::memcpy(static_cast<uint8_t*>(locked.bits) + static_cast<size_t>(y) * locked.pitch,
                    texels.data() + static_cast<size_t>(y) * w, 4 * w);
    }
    EXPECT_EQ(cpu::UnlockRect(texture, 0), RenderOk);
    return texture;
}

void CpuDeviceTest::DrawTriangles(uint32_t format, const float* data, uint32_t count,
                                  RenderTexture* texture)
{
    const uint32_t stride = format == VertexFormatXyzRhwTex1 ? 24 : 20;
    uint8_t* locked = nullptr;
    ASSERT_EQ(cpu::LockVertexBuffer(vertices, 0, 0, locked, LockNone), RenderOk);
    std::memcpy(locked, data, count * stride);
    ASSERT_EQ(cpu::UnlockVertexBuffer(vertices), RenderOk);
    cpu::SetVertexShader(device, format);
    cpu::SetStreamSource(device, 0, vertices, stride);
    cpu::SetTexture(device, 0, texture);
    ASSERT_EQ(cpu::DrawPrimitive(device, PrimitiveType::TriangleList, 0, count / 3), RenderOk);
}

void CpuDeviceTest::DrawScreenQuad(RenderTexture* texture, float x0, float y0, float x1, float y1,
                                   float u0, float v0, float u1, float v1, bool split)
{
    // The overlay's order: (x0,y1) (x0,y0) (x1,y1), (x1,y0) (x1,y1) (x0,y0).
    const float quad[6][6] = {
        {x0, y1, 0, 1, u0, v1}, {x0, y0, 0, 1, u0, v0}, {x1, y1, 0, 1, u1, v1},
        {x1, y0, 0, 1, u1, v0}, {x1, y1, 0, 1, u1, v1}, {x0, y0, 0, 1, u0, v0},
    };
    if (!split) return DrawTriangles(VertexFormatXyzRhwTex1, &quad[0][0], 6, texture);
    DrawTriangles(VertexFormatXyzRhwTex1, &quad[0][0], 3, texture);
    DrawTriangles(VertexFormatXyzRhwTex1, &quad[3][0], 3, texture);
}

void CpuDeviceTest::DrawWorldQuad(RenderTexture* texture, float left, float bottom, float right,
                                  float top, bool split)
{
    const float quad[6][5] = {
        {left, bottom, 0, 0, 1}, {left, top, 0, 0, 0},  {right, top, 0, 1, 0},
        {left, bottom, 0, 0, 1}, {right, top, 0, 1, 0}, {right, bottom, 0, 1, 1},
    };
    if (!split) return DrawTriangles(VertexFormatXyzTex1, &quad[0][0], 6, texture);
    DrawTriangles(VertexFormatXyzTex1, &quad[0][0], 3, texture);
    DrawTriangles(VertexFormatXyzTex1, &quad[3][0], 3, texture);
}

void CpuDeviceTest::SetFilter(uint32_t filter)
{
    cpu::SetTextureStageState(device, 0, TextureStageStateType::MagFilter, filter);
    cpu::SetTextureStageState(device, 0, TextureStageStateType::MinFilter, filter);
}

void CpuDeviceTest::BlendBySourceAlpha()
{
    cpu::SetRenderState(device, RenderStateType::AlphaBlendEnable, 1);
    cpu::SetRenderState(device, RenderStateType::SrcBlend, BlendSrcAlpha);
    cpu::SetRenderState(device, RenderStateType::DestBlend, BlendInvSrcAlpha);
}

void CpuDeviceTest::UseSaverCamera()
{
    Matrix4 view;
    Matrix4 projection;
    LookAtMatrix(view, Vec3{2.0f, 1.5f, -3.6f}, Vec3{2.0f, 1.5f, 0.0f}, Vec3{0.0f, 1.0f, 0.0f});
    PerspectiveMatrix(projection, 0.785398185f,
                      static_cast<float>(width) / static_cast<float>(height), 1.0f, 100.0f);
    cpu::SetTransform(device, TransformType::View, view);
    cpu::SetTransform(device, TransformType::Projection, projection);
}
