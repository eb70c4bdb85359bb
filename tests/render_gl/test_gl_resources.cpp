// Textures, vertex buffers, the adapter and object lifetimes of the OpenGL back end.
#include <cstring>

#include "gl_test_support.h"

namespace {

struct FormatCase {
    uint32_t format;
    uint32_t bytes;
    uint32_t texel;  // the texel as the format stores it
    Rgba expected;   // what sampling gives (alpha 255 where the format has none)
};

}  // namespace

TEST_F(GlDeviceTest, A4R4G4B4UploadHonoursThePitchAndSubRectangles)
{
    RenderTexture* texture = nullptr;
    ASSERT_EQ(CreateTexture(device, 3, 2, 1, UsageNone, FormatA4R4G4B4, PoolManaged, texture),
              RenderOk);
    textures.push_back(texture);
    LockedRect locked{};
    ASSERT_EQ(LockRect(texture, 0, locked, nullptr, 0), RenderOk);
    ASSERT_GE(locked.pitch, 6);
    EXPECT_EQ(LockRect(texture, 0, locked, nullptr, 0), RenderErrorInvalidCall);  // already locked
    const uint16_t texels[2][3] = {{0xF123, 0xF456, 0xF789}, {0xFABC, 0xFDEF, 0xF000}};
    for (int y = 0; y < 2; ++y) {
        std::memcpy(static_cast<uint8_t*>(locked.bits) + y * locked.pitch, texels[y], 6);
    }
    ASSERT_EQ(UnlockRect(texture, 0), RenderOk);
    EXPECT_EQ(UnlockRect(texture, 0), RenderErrorInvalidCall);

    // Rewrite texel (1, 1) alone through a one-texel lock.
    const int32_t rect[4] = {1, 1, 2, 2};
    ASSERT_EQ(LockRect(texture, 0, locked, rect, 0), RenderOk);
    const uint16_t replacement = 0xF0F0;
    std::memcpy(locked.bits, &replacement, 2);
    ASSERT_EQ(UnlockRect(texture, 0), RenderOk);
    const int32_t outside[4] = {2, 0, 4, 1};
    EXPECT_EQ(LockRect(texture, 0, locked, outside, 0), RenderErrorInvalidCall);
    EXPECT_EQ(LockRect(texture, 1, locked, nullptr, 0), RenderErrorInvalidCall);

    SetFilter(TextureFilterPoint);
    Clear(device, 0, nullptr, ClearTarget, 0, 0.0f, 0);
    BeginScene(device);
    DrawScreenQuad(texture, -0.5f, -0.5f, 2.5f, 1.5f);
    EndScene(device);
    PresentAndRead();
    const Rgba expected[2][3] = {
        {{0x11, 0x22, 0x33, 255}, {0x44, 0x55, 0x66, 255}, {0x77, 0x88, 0x99, 255}},
        {{0xAA, 0xBB, 0xCC, 255}, {0x00, 0xFF, 0x00, 255}, {0, 0, 0, 255}}};
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
            const Rgba p = Pixel(x, y);
            EXPECT_EQ(p.r, expected[y][x].r) << x << "," << y;
            EXPECT_EQ(p.g, expected[y][x].g) << x << "," << y;
            EXPECT_EQ(p.b, expected[y][x].b) << x << "," << y;
        }
    }
}

TEST_F(GlDeviceTest, EveryTextureFormatSamplesAsDirect3DDefinesIt)
{
    const FormatCase cases[] = {
        {FormatR8G8B8, 3, 0x123456, {0x12, 0x34, 0x56, 255}},
        {FormatA8R8G8B8, 4, 0x80123456, {0x12, 0x34, 0x56, 0x80}},
        {FormatX8R8G8B8, 4, 0x00123456, {0x12, 0x34, 0x56, 255}},
        {FormatR5G6B5, 2, 0xF81F, {255, 0, 255, 255}},
        {FormatR5G6B5, 2, 0x07E0, {0, 255, 0, 255}},
        {FormatX1R5G5B5, 2, 0x7C00, {255, 0, 0, 255}},
        {FormatA1R5G5B5, 2, 0x001F, {0, 0, 255, 0}},
        {FormatA1R5G5B5, 2, 0x83E0, {0, 255, 0, 255}},
        {FormatA4R4G4B4, 2, 0x8F0A, {0xFF, 0x00, 0xAA, 0x88}},
        {FormatR3G3B2, 1, 0xE3, {255, 0, 255, 255}},
        {FormatR3G3B2, 1, 0x1C, {0, 255, 0, 255}},
        {FormatA8, 1, 0x40, {0, 0, 0, 0x40}},
        {FormatA8R3G3B2, 2, 0x80E0, {255, 0, 0, 0x80}},
        {FormatA8R3G3B2, 2, 0xFF4B, {0x49, 0x49, 0xFF, 255}},
        {FormatX4R4G4B4, 2, 0x0F5A, {0xFF, 0x55, 0xAA, 255}},
    };
    // Drawn blended over grey so that alpha shows in an X8R8G8B8 back buffer.
    EnableSourceAlphaBlending();
    SetFilter(TextureFilterPoint);
    Clear(device, 0, nullptr, ClearTarget, 0x00606060u, 0.0f, 0);
    BeginScene(device);
    int column = 0;
    for (const FormatCase& c : cases) {
        RenderTexture* texture = nullptr;
        ASSERT_EQ(CreateTexture(device, 1, 1, 1, UsageNone, c.format, PoolManaged, texture),
                  RenderOk)
            << c.format;
        textures.push_back(texture);
        LockedRect locked{};
        ASSERT_EQ(LockRect(texture, 0, locked, nullptr, LockDiscard), RenderOk);
        std::memcpy(locked.bits, &c.texel, c.bytes);
        ASSERT_EQ(UnlockRect(texture, 0), RenderOk);
        const float x = static_cast<float>(column * 10);
        DrawScreenQuad(texture, x, 0.0f, x + 10.0f, 10.0f);
        ++column;
    }
    EndScene(device);
    PresentAndRead();
    column = 0;
    for (const FormatCase& c : cases) {
        const Rgba p = Pixel(column * 10 + 5, 5);
        const double a = c.expected.a / 255.0;
        EXPECT_NEAR(p.r, c.expected.r * a + 0x60 * (1 - a), 1)
            << "format " << c.format << " texel " << c.texel;
        EXPECT_NEAR(p.g, c.expected.g * a + 0x60 * (1 - a), 1)
            << "format " << c.format << " texel " << c.texel;
        EXPECT_NEAR(p.b, c.expected.b * a + 0x60 * (1 - a), 1)
            << "format " << c.format << " texel " << c.texel;
        ++column;
    }
}

TEST_F(GlDeviceTest, UnsupportedTextureRequestsFailWithoutAHandle)
{
    // L8 is one of Direct3D's, but no upload of the saver's makes it.
    const uint32_t formats[] = {FormatUnknown, FormatD16, FormatL8, 19, 31, 0x31545844 /* DXT1 */};
    for (uint32_t format : formats) {
        RenderTexture* texture = reinterpret_cast<RenderTexture*>(1);
        EXPECT_EQ(CreateTexture(device, 16, 16, 1, UsageNone, format, PoolManaged, texture),
                  RenderErrorInvalidCall)
            << format;
        EXPECT_EQ(texture, nullptr);
    }
    RenderTexture* texture = nullptr;
    EXPECT_EQ(CreateTexture(device, 0, 16, 1, UsageNone, FormatA8R8G8B8, PoolManaged, texture),
              RenderErrorInvalidCall);
    EXPECT_EQ(CreateTexture(device, 1u << 20, 16, 1, UsageNone, FormatA8R8G8B8, PoolManaged,
                            texture),
              RenderErrorInvalidCall);
    // A whole mipmap chain, a render target, the default pool: the saver asks for none of them.
    EXPECT_EQ(CreateTexture(device, 16, 16, 0, UsageNone, FormatA8R8G8B8, PoolManaged, texture),
              RenderErrorInvalidCall);
    EXPECT_EQ(CreateTexture(device, 16, 16, 1, 1, FormatA8R8G8B8, PoolManaged, texture),
              RenderErrorInvalidCall);
    EXPECT_EQ(CreateTexture(device, 16, 16, 1, UsageNone, FormatA8R8G8B8, 0, texture),
              RenderErrorInvalidCall);
    EXPECT_EQ(texture, nullptr);
}

// States and values the saver never sets are refused as Direct3D refuses a call it cannot
// take, and the state set before stays in force.
TEST_F(GlDeviceTest, StatesTheSaverNeverSetsAreRefusedAndChangeNothing)
{
    const struct {
        uint32_t state;
        uint32_t value;
    } states[] = {
        {7, 2},      // D3DRS_ZENABLE: D3DZB_USEW
        {19, 3},     // D3DRS_SRCBLEND: D3DBLEND_SRCCOLOR
        {20, 12},    // D3DRS_DESTBLEND: D3DBLEND_BOTHSRCALPHA
        {22, 2},     // D3DRS_CULLMODE: D3DCULL_CW
        {23, 4},     // D3DRS_ZFUNC
        {168, 0xF},  // D3DRS_COLORWRITEENABLE
        {171, 1},    // D3DRS_BLENDOP
    };
    for (const auto& c : states) {
        EXPECT_EQ(SetRenderState(device, static_cast<RenderStateType>(c.state), c.value),
                  RenderErrorInvalidCall)
            << c.state << " " << c.value;
    }
    const struct {
        uint32_t stage;
        uint32_t type;
        uint32_t value;
    } stageStates[] = {
        {0, 16, TextureFilterNone},    // D3DTSS_MAGFILTER
        {0, 17, 3},                    // D3DTSS_MINFILTER: D3DTEXF_ANISOTROPIC
        {0, 18, TextureFilterLinear},  // D3DTSS_MIPFILTER
        {0, 13, 3},                    // D3DTSS_ADDRESSU: D3DTADDRESS_CLAMP
        {1, 16, TextureFilterLinear},
    };
    for (const auto& c : stageStates) {
        EXPECT_EQ(SetTextureStageState(device, c.stage, static_cast<TextureStageStateType>(c.type),
                                       c.value),
                  RenderErrorInvalidCall)
            << c.stage << " " << c.type << " " << c.value;
    }
    EXPECT_EQ(SetVertexShader(device, 0x112 /* XYZ | NORMAL | TEX1 */), RenderErrorInvalidCall);
    EXPECT_EQ(Clear(device, 0, nullptr, ClearTarget | 4u /* stencil */, 0, 0.0f, 0),
              RenderErrorInvalidCall);

    // Still no culling (set up by the fixture), point sampling and no blending.
    RenderTexture* texture = MakeTexture(2, 1, {0xFF0000FFu, 0x00FF0000u});
    Clear(device, 0, nullptr, ClearTarget, 0, 0.0f, 0);
    BeginScene(device);
    EXPECT_EQ(DrawPrimitive(device, static_cast<PrimitiveType>(5) /* D3DPT_TRIANGLESTRIP */, 0, 1),
              RenderErrorInvalidCall);
    DrawScreenQuad(texture, 20.0f, 0.0f, 0.0f, 10.0f);  // mirrored: counter-clockwise
    EndScene(device);
    PresentAndRead();
    ExpectNear(Pixel(4, 5), 255, 0, 0, 0, "point-sampled, unblended red");
    ExpectNear(Pixel(15, 5), 0, 0, 255, 0, "point-sampled, unblended blue");
}

TEST_F(GlDeviceTest, VertexBufferLocksAndDrawsStayInsideTheBuffer)
{
    uint8_t* data = nullptr;
    ASSERT_EQ(LockVertexBuffer(worldQuad, 100, 0, data, 0), RenderOk);  // size 0: to the end
    EXPECT_NE(data, nullptr);
    EXPECT_EQ(UnlockVertexBuffer(worldQuad), RenderOk);
    EXPECT_EQ(UnlockVertexBuffer(worldQuad), RenderErrorInvalidCall);
    EXPECT_EQ(LockVertexBuffer(worldQuad, 100, 21, data, 0), RenderErrorInvalidCall);
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(LockVertexBuffer(worldQuad, 121, 0, data, 0), RenderErrorInvalidCall);

    SetVertexShader(device, VertexFormatXyzTex1);
    SetStreamSource(device, 0, worldQuad, 20);
    EXPECT_EQ(DrawPrimitive(device, PrimitiveType::TriangleList, 0, 2), RenderErrorInvalidCall)
        << "outside a scene";
    BeginScene(device);
    EXPECT_EQ(BeginScene(device), RenderErrorInvalidCall);
    EXPECT_EQ(DrawPrimitive(device, PrimitiveType::TriangleList, 0, 2), RenderOk);
    EXPECT_EQ(DrawPrimitive(device, PrimitiveType::TriangleList, 1, 2), RenderErrorInvalidCall);
    EXPECT_EQ(DrawPrimitive(device, PrimitiveType::TriangleList, 0, 3), RenderErrorInvalidCall);
    SetStreamSource(device, 0, worldQuad, 24);  // stride past the buffer's six vertices
    EXPECT_EQ(DrawPrimitive(device, PrimitiveType::TriangleList, 0, 2), RenderErrorInvalidCall);
    SetStreamSource(device, 0, screenQuad, 24);
    EXPECT_EQ(DrawPrimitive(device, PrimitiveType::TriangleList, 0, 2), RenderOk);
    EXPECT_EQ(EndScene(device), RenderOk);
    EXPECT_EQ(EndScene(device), RenderErrorInvalidCall);
    EXPECT_EQ(SetVertexShader(device, 0x142 /* XYZ | DIFFUSE */), RenderErrorInvalidCall);
    EXPECT_EQ(SetPixelShader(device, 0), RenderOk);
    EXPECT_EQ(SetPixelShader(device, 5), RenderErrorInvalidCall);
}

TEST_F(GlDeviceTest, ViewportCapsAndCooperativeLevel)
{
    Viewport viewport{};
    ASSERT_EQ(GetViewport(device, viewport), RenderOk);
    EXPECT_EQ(viewport.width, static_cast<uint32_t>(Width));
    EXPECT_EQ(viewport.height, static_cast<uint32_t>(Height));
    EXPECT_EQ(viewport.x, 0u);
    EXPECT_EQ(viewport.maxZ, 1.0f);
    uint32_t caps = 0;
    ASSERT_EQ(GetDeviceCaps(system, DefaultAdapter, DeviceTypeHal, caps), RenderOk);
    EXPECT_NE(caps & DevCapsHwTransformAndLight, 0u);
    EXPECT_EQ(GetDeviceCaps(system, 1, DeviceTypeHal, caps), RenderErrorInvalidCall);
    EXPECT_EQ(TestCooperativeLevel(device), RenderOk);
}

TEST_F(GlDeviceTest, ReleasingTheDeviceFirstLeavesResourceHandlesSafeToRelease)
{
    RenderTexture* texture = nullptr;
    ASSERT_EQ(CreateTexture(device, 8, 8, 1, UsageNone, FormatA8R8G8B8, PoolManaged, texture),
              RenderOk);
    LockedRect locked{};
    ASSERT_EQ(LockRect(texture, 0, locked, nullptr, 0), RenderOk);
    SetTexture(device, 0, texture);
    SetStreamSource(device, 0, worldQuad, 20);
    ReleaseHandle(device);
    // The lock taken before stays writable until it is closed; new locks are refused.
    std::memset(locked.bits, 0xFF, 32);
    EXPECT_EQ(UnlockRect(texture, 0), RenderOk);
    EXPECT_EQ(LockRect(texture, 0, locked, nullptr, 0), RenderErrorInvalidCall);
    uint8_t* data = nullptr;
    EXPECT_EQ(LockVertexBuffer(worldQuad, 0, 0, data, 0), RenderErrorInvalidCall);
    ReleaseHandle(texture);
    ReleaseHandle(texture);  // a second release through the cleared holder does nothing
    // TearDown releases the buffers after the device.
}

TEST_F(GlDeviceTest, ReleasingTheSystemBeforeItsDeviceKeepsTheDeviceWorking)
{
    ReleaseHandle(system);
    RenderTexture* texture = MakeTexture(1, 1, {0xFF00FF00u});
    Clear(device, 0, nullptr, ClearTarget, 0, 0.0f, 0);
    BeginScene(device);
    DrawScreenQuad(texture, 0.0f, 0.0f, 4.0f, 4.0f);
    EndScene(device);
    PresentAndRead();
    EXPECT_EQ(Pixel(1, 1).g, 255);
}

TEST_F(GlDeviceTest, TwoDevicesKeepTheirOwnPictures)
{
    RenderDevice* other = nullptr;
    ASSERT_EQ(CreateDevice(system, DefaultAdapter, DeviceTypeHal, 0, CreateSoftwareVertexProcessing,
                           SaverPresentParameters(64, 32), other),
              RenderOk);
    RenderTexture* green = MakeTexture(1, 1, {0xFF00FF00u});
    Clear(other, 0, nullptr, ClearTarget, 0x000000FFu, 0.0f, 0);
    Clear(device, 0, nullptr, ClearTarget, 0, 0.0f, 0);
    EXPECT_EQ(SetTexture(other, 0, green), RenderErrorInvalidCall);  // another device's texture
    BeginScene(device);
    DrawScreenQuad(green, 0.0f, 0.0f, 4.0f, 4.0f);
    EndScene(device);
    Present(other);
    PresentAndRead();
    std::vector<uint8_t> small(64 * 32 * 4);
    ASSERT_EQ(gl::ReadPresentedFrame(other, small.data(), 64 * 4), RenderOk);
    EXPECT_EQ(small[2], 255);
    EXPECT_EQ(small[1], 0);
    EXPECT_EQ(Pixel(1, 1).g, 255);
    EXPECT_EQ(Pixel(1, 1).b, 0);
    Viewport viewport{};
    GetViewport(other, viewport);
    EXPECT_EQ(viewport.width, 64u);
    ReleaseHandle(other);
}

TEST(GlAdapter, ReportsTheDisplayModeTheHostSets)
{
    RenderSystem* system = CreateRenderSystem(RenderSdkVersion);
    ASSERT_NE(system, nullptr);
    DisplayMode mode{};
    ASSERT_EQ(GetAdapterDisplayMode(system, DefaultAdapter, mode), RenderOk);
    EXPECT_EQ(mode.width, 1280u);
    EXPECT_EQ(mode.height, 800u);
    EXPECT_EQ(mode.format, FormatX8R8G8B8);
    EXPECT_EQ(mode.refreshRate, 60u);

    gl::SetAdapterDisplayMode(DisplayMode{640, 480, 75, FormatX8R8G8B8});
    gl::SetAdapterDisplayMode(DisplayMode{0, 480, 75, FormatX8R8G8B8});  // ignored
    EXPECT_EQ(GetAdapterModeCount(system, DefaultAdapter), 1u);
    EXPECT_EQ(GetAdapterModeCount(system, 1), 0u);
    ASSERT_EQ(EnumAdapterModes(system, DefaultAdapter, 0, mode), RenderOk);
    EXPECT_EQ(mode.width, 640u);
    EXPECT_EQ(mode.refreshRate, 75u);
    EXPECT_EQ(EnumAdapterModes(system, DefaultAdapter, 1, mode), RenderErrorInvalidCall);
    EXPECT_EQ(GetAdapterDisplayMode(system, 1, mode), RenderErrorInvalidCall);

    // A windowed device without a size takes the screen's.
    PresentParameters params = SaverPresentParameters(0, 0);
    params.windowed = 1;
    params.backBufferFormat = FormatUnknown;
    RenderDevice* device = nullptr;
    ASSERT_EQ(CreateDevice(system, DefaultAdapter, DeviceTypeHal, 0, CreateSoftwareVertexProcessing,
                           params, device),
              RenderOk);
    KeepLoadedLibraries();
    Viewport viewport{};
    GetViewport(device, viewport);
    EXPECT_EQ(viewport.width, 640u);
    EXPECT_EQ(viewport.height, 480u);
    ReleaseHandle(device);
    gl::SetAdapterDisplayMode(DisplayMode{1280, 800, 60, FormatX8R8G8B8});

    // Requests Direct3D refuses.
    params = SaverPresentParameters(0, 0);  // full screen needs a size
    EXPECT_EQ(CreateDevice(system, DefaultAdapter, DeviceTypeHal, 0, CreateSoftwareVertexProcessing,
                           params, device),
              RenderErrorInvalidCall);
    params = SaverPresentParameters(64, 64);
    EXPECT_EQ(CreateDevice(system, DefaultAdapter, DeviceTypeHal, 0,
                           CreateSoftwareVertexProcessing | CreateHardwareVertexProcessing, params,
                           device),
              RenderErrorInvalidCall);
    params.backBufferFormat = FormatA4R4G4B4;
    EXPECT_EQ(CreateDevice(system, DefaultAdapter, DeviceTypeHal, 0, CreateSoftwareVertexProcessing,
                           params, device),
              RenderErrorInvalidCall);
    EXPECT_EQ(device, nullptr);

    // Requests the saver never makes.
    params = SaverPresentParameters(64, 64);
    params.autoDepthStencilFormat = 75;  // D3DFMT_D24S8
    EXPECT_EQ(CreateDevice(system, DefaultAdapter, DeviceTypeHal, 0, CreateSoftwareVertexProcessing,
                           params, device),
              RenderErrorInvalidCall);
    params = SaverPresentParameters(64, 64);
    params.swapEffect = 1;  // D3DSWAPEFFECT_DISCARD
    EXPECT_EQ(CreateDevice(system, DefaultAdapter, DeviceTypeHal, 0, CreateSoftwareVertexProcessing,
                           params, device),
              RenderErrorInvalidCall);
    params.swapEffect = SwapEffectFlip;
    params.backBufferFormat = FormatR5G6B5;
    EXPECT_EQ(CreateDevice(system, DefaultAdapter, DeviceTypeHal, 0, CreateSoftwareVertexProcessing,
                           params, device),
              RenderErrorInvalidCall);
    EXPECT_EQ(CreateRenderSystem(120), nullptr);  // the DirectX 8.0 SDK's version
    ReleaseHandle(system);
}
