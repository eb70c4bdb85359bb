// The processor back end on its own: what it refuses, how it samples every texture format, that
// its fast path for rectangles draws what its triangle path draws, and what it reports as
// changed from frame to frame.
#include <algorithm>
#include <cstring>
#include <random>

#include "cpu_test_support.h"

namespace {

std::vector<uint32_t> RandomTexels(uint32_t count, uint32_t seed)
{
    std::mt19937 random(seed);
    std::vector<uint32_t> texels(count);
    for (uint32_t& t : texels) t = random();
    return texels;
}

}  // namespace

namespace cpu {

bool operator==(const PixelRect& a, const PixelRect& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

void PrintTo(const PixelRect& r, std::ostream* out)
{
    *out << "(" << r.left << "," << r.top << ")-(" << r.right << "," << r.bottom << ")";
}

}  // namespace cpu

TEST_F(CpuDeviceTest, RefusedRequestsGiveDirect3DsCodesAndNoHandle)
{
    EXPECT_EQ(cpu::CreateRenderSystem(120), nullptr);

    struct DeviceCase {
        const char* what;
        uint32_t adapter, type, flags;
        PresentParameters params;
        NativeWindow window;
        RenderResult expected;
    };
    const PresentParameters good = FullScreenParameters(64, 48);
    auto with = [&](auto change) {
        PresentParameters p = good;
        change(p);
        return p;
    };
    const DeviceCase deviceCases[] = {
        {"second adapter", 1, DeviceTypeHal, CreateSoftwareVertexProcessing, good, 0,
         RenderErrorInvalidCall},
        {"reference device", 0, 2, CreateSoftwareVertexProcessing, good, 0,
         RenderErrorNotAvailable},
        {"no vertex processing", 0, DeviceTypeHal, 0, good, 0, RenderErrorInvalidCall},
        {"two kinds of vertex processing", 0, DeviceTypeHal,
         CreateSoftwareVertexProcessing | CreateHardwareVertexProcessing, good, 0,
         RenderErrorInvalidCall},
        {"16-bit back buffer", 0, DeviceTypeHal, CreateSoftwareVertexProcessing,
         with([](PresentParameters& p) { p.backBufferFormat = FormatR5G6B5; }), 0,
         RenderErrorInvalidCall},
        {"full screen without a size", 0, DeviceTypeHal, CreateSoftwareVertexProcessing,
         with([](PresentParameters& p) { p.backBufferWidth = 0; }), 0, RenderErrorInvalidCall},
        {"no swap effect", 0, DeviceTypeHal, CreateSoftwareVertexProcessing,
         with([](PresentParameters& p) { p.swapEffect = 0; }), 0, RenderErrorInvalidCall},
        {"unknown depth format", 0, DeviceTypeHal, CreateSoftwareVertexProcessing,
         with([](PresentParameters& p) { p.autoDepthStencilFormat = FormatA8R8G8B8; }), 0,
         RenderErrorInvalidCall},
        {"too wide", 0, DeviceTypeHal, CreateSoftwareVertexProcessing,
         with([](PresentParameters& p) { p.backBufferWidth = 20000; }), 0, RenderErrorInvalidCall},
        {"a window and nothing to show it", 0, DeviceTypeHal, CreateSoftwareVertexProcessing, good,
         77, RenderErrorNotAvailable},
    };
    for (const DeviceCase& c : deviceCases) {
        RenderDevice* made = reinterpret_cast<RenderDevice*>(this);
        EXPECT_EQ(cpu::CreateDevice(system, c.adapter, c.type, c.window, c.flags, c.params, made),
                  c.expected)
            << c.what;
        EXPECT_EQ(made, nullptr) << c.what;
    }

    struct TextureCase {
        const char* what;
        uint32_t width, height, usage, format, pool;
    };
    const TextureCase textureCases[] = {
        {"L8", 8, 8, 0, FormatL8, PoolManaged},
        {"a depth format", 8, 8, 0, FormatD16, PoolManaged},
        {"DXT1", 8, 8, 0, 0x31545844u, PoolManaged},
        {"unknown", 8, 8, 0, FormatUnknown, PoolManaged},
        {"no width", 0, 8, 0, FormatA8R8G8B8, PoolManaged},
        {"too high", 8, 8193, 0, FormatA8R8G8B8, PoolManaged},
        {"a render target", 8, 8, 1, FormatA8R8G8B8, PoolManaged},
        {"scratch pool", 8, 8, 0, FormatA8R8G8B8, 3},
    };
    for (const TextureCase& c : textureCases) {
        RenderTexture* made = reinterpret_cast<RenderTexture*>(this);
        EXPECT_EQ(cpu::CreateTexture(device, c.width, c.height, 1, c.usage, c.format, c.pool, made),
                  RenderErrorInvalidCall)
            << c.what;
        EXPECT_EQ(made, nullptr) << c.what;
    }

    // States it cannot draw are refused when set, and the old value stays.
    EXPECT_EQ(cpu::SetRenderState(device, RenderStateType::SrcBlend, 9), RenderErrorInvalidCall);
    EXPECT_EQ(cpu::SetRenderState(device, RenderStateType::CullMode, 4), RenderErrorInvalidCall);
    EXPECT_EQ(cpu::SetRenderState(device, RenderStateType::ZEnable, 3), RenderErrorInvalidCall);
    EXPECT_EQ(cpu::SetRenderState(device, static_cast<RenderStateType>(168), 15),
              RenderErrorInvalidCall);  // colour write mask
    EXPECT_EQ(cpu::SetTextureStageState(device, 8, TextureStageStateType::MagFilter, 2),
              RenderErrorInvalidCall);
    EXPECT_EQ(cpu::SetTextureStageState(device, 0, static_cast<TextureStageStateType>(1), 4),
              RenderErrorInvalidCall);  // colour operation
    EXPECT_EQ(cpu::SetTextureStageState(device, 0, TextureStageStateType::MinFilter, 6),
              RenderErrorInvalidCall);
    EXPECT_EQ(cpu::SetVertexShader(device, 0x142), RenderErrorInvalidCall);  // with colour
    EXPECT_EQ(cpu::SetPixelShader(device, 1), RenderErrorInvalidCall);
    EXPECT_EQ(cpu::SetStreamSource(device, 1, vertices, 20), RenderErrorInvalidCall);
    EXPECT_EQ(cpu::SetTransform(device, static_cast<TransformType>(16), Matrix4{}),
              RenderErrorInvalidCall);

    // Drawing.
    RenderTexture* texture = MakeTexture(2, 2, RandomTexels(4, 1));
    cpu::SetVertexShader(device, VertexFormatXyzRhwTex1);
    cpu::SetStreamSource(device, 0, vertices, 24);
    cpu::SetTexture(device, 0, texture);
    EXPECT_EQ(cpu::DrawPrimitive(device, PrimitiveType::TriangleList, 0, 2),
              RenderErrorInvalidCall);  // outside a scene
    ASSERT_EQ(cpu::BeginScene(device), RenderOk);
    EXPECT_EQ(cpu::BeginScene(device), RenderErrorInvalidCall);
    EXPECT_EQ(cpu::DrawPrimitive(device, static_cast<PrimitiveType>(1), 0, 2),
              RenderErrorInvalidCall);  // points
    EXPECT_EQ(cpu::DrawPrimitive(device, PrimitiveType::TriangleList, 0, 0),
              RenderErrorInvalidCall);
    EXPECT_EQ(cpu::DrawPrimitive(device, PrimitiveType::TriangleList, 14, 1),
              RenderErrorInvalidCall);  // past the buffer's 16 vertices
    EXPECT_EQ(cpu::DrawPrimitive(device, PrimitiveType::TriangleList, 13, 1), RenderOk);
    cpu::SetStreamSource(device, 0, vertices, 20);
    EXPECT_EQ(cpu::DrawPrimitive(device, PrimitiveType::TriangleList, 0, 1),
              RenderErrorInvalidCall);  // stride shorter than a vertex
    cpu::SetStreamSource(device, 0, vertices, 24);
    cpu::SetRenderState(device, RenderStateType::ZEnable, 1);
    EXPECT_EQ(cpu::DrawPrimitive(device, PrimitiveType::TriangleList, 0, 1),
              RenderErrorInvalidCall);  // no depth buffer to test against
    cpu::SetRenderState(device, RenderStateType::ZEnable, 0);
    LockedRect locked{};
    ASSERT_EQ(cpu::LockRect(texture, 0, locked, nullptr, 0), RenderOk);
    EXPECT_EQ(cpu::DrawPrimitive(device, PrimitiveType::TriangleList, 0, 1),
              RenderErrorInvalidCall);  // its texture is locked
    EXPECT_EQ(cpu::LockRect(texture, 0, locked, nullptr, 0), RenderErrorInvalidCall);
    ASSERT_EQ(cpu::UnlockRect(texture, 0), RenderOk);
    EXPECT_EQ(cpu::UnlockRect(texture, 0), RenderErrorInvalidCall);
    EXPECT_EQ(cpu::Present(device), RenderErrorInvalidCall);  // inside the scene
    ASSERT_EQ(cpu::EndScene(device), RenderOk);
    EXPECT_EQ(cpu::EndScene(device), RenderErrorInvalidCall);

    // Locks.
    const int32_t outside[4] = {0, 0, 3, 1};
    EXPECT_EQ(cpu::LockRect(texture, 1, locked, nullptr, 0), RenderErrorInvalidCall);
    EXPECT_EQ(cpu::LockRect(texture, 0, locked, outside, 0), RenderErrorInvalidCall);
    uint8_t* data = nullptr;
    EXPECT_EQ(cpu::LockVertexBuffer(vertices, 300, 100, data, 0), RenderErrorInvalidCall);
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(cpu::UnlockVertexBuffer(vertices), RenderErrorInvalidCall);

    // The presented frame is gone once the next one is being drawn.
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 4);
    ASSERT_EQ(cpu::Present(device), RenderOk);
    EXPECT_EQ(cpu::ReadPresentedFrame(device, pixels.data(), 4 * width - 4),
              RenderErrorInvalidCall);
    EXPECT_EQ(cpu::ReadPresentedFrame(device, pixels.data(), 4 * width), RenderOk);
    cpu::Clear(device, 0, nullptr, ClearTarget, 0, 0.0f, 0);
    EXPECT_EQ(cpu::ReadPresentedFrame(device, pixels.data(), 4 * width), RenderErrorInvalidCall);

    // Clearing what the device does not have.
    cpu::Release(device);
    device = nullptr;
    PresentParameters noDepth = FullScreenParameters(8, 8);
    noDepth.enableAutoDepthStencil = 0;
    ASSERT_EQ(cpu::CreateDevice(system, 0, DeviceTypeHal, 0, CreateSoftwareVertexProcessing,
                                noDepth, device),
              RenderOk);
    EXPECT_EQ(cpu::Clear(device, 0, nullptr, 2, 0, 1.0f, 0), RenderErrorInvalidCall);  // depth
    EXPECT_EQ(cpu::Clear(device, 0, nullptr, 0, 0, 1.0f, 0), RenderErrorInvalidCall);
    EXPECT_EQ(cpu::Clear(device, 1, nullptr, ClearTarget, 0, 1.0f, 0), RenderErrorInvalidCall);

    // Null handles.
    Viewport viewport{};
    EXPECT_EQ(cpu::TestCooperativeLevel(nullptr), RenderErrorInvalidCall);
    EXPECT_EQ(cpu::GetViewport(nullptr, viewport), RenderErrorInvalidCall);
    EXPECT_EQ(cpu::Present(nullptr), RenderErrorInvalidCall);
    EXPECT_EQ(cpu::LockRect(nullptr, 0, locked, nullptr, 0), RenderErrorInvalidCall);
    EXPECT_EQ(cpu::ResizeBackBuffer(nullptr, 8, 8), RenderErrorInvalidCall);
    cpu::Release(static_cast<RenderTexture*>(nullptr));
}

TEST_F(CpuDeviceTest, EveryTextureFormatSamplesAsDirect3DDefinesIt)
{
    struct FormatCase {
        uint32_t format;
        uint8_t bytes[2][4];   // two texels as they lie in memory
        uint32_t expected[2];  // 0xAARRGGBB
    };
    const FormatCase cases[] = {
        {FormatA8R8G8B8, {{0x10, 0x20, 0x30, 0x80}, {0xFF, 0, 0, 0xFF}}, {0x80302010, 0xFF0000FF}},
        {FormatX8R8G8B8, {{0x10, 0x20, 0x30, 0x00}, {1, 2, 3, 4}}, {0xFF302010, 0xFF030201}},
        {FormatR8G8B8, {{0x10, 0x20, 0x30}, {0xAA, 0xBB, 0xCC}}, {0xFF302010, 0xFFCCBBAA}},
        {FormatR5G6B5, {{0x00, 0xF8}, {0x1F, 0x07}}, {0xFFFF0000, 0xFF00E3FF}},
        {FormatX1R5G5B5, {{0x00, 0x7C}, {0x21, 0x04}}, {0xFFFF0000, 0xFF080808}},
        {FormatA1R5G5B5, {{0x00, 0x7C}, {0x1F, 0x80}}, {0x00FF0000, 0xFF0000FF}},
        {FormatA4R4G4B4, {{0x21, 0xC3}, {0xF0, 0x0F}}, {0xCC332211, 0x00FFFF00}},
        {FormatX4R4G4B4, {{0x21, 0x03}, {0xF0, 0xAF}}, {0xFF332211, 0xFFFFFF00}},
        {FormatR3G3B2, {{0xE0}, {0x1F}}, {0xFFFF0000, 0xFF00FFFF}},
        {FormatA8R3G3B2, {{0x03, 0x40}, {0xE0, 0xFF}}, {0x400000FF, 0xFFFF0000}},
        {FormatA8, {{0x7F}, {0xFF}}, {0x7F000000, 0xFF000000}},
    };
    SetFilter(TextureFilterPoint);
    // Over mid grey, the texel's alpha shows too: out = c * a + 128 * (1 - a).
    BlendBySourceAlpha();
    for (const FormatCase& c : cases) {
        SCOPED_TRACE(c.format);
        RenderTexture* texture = nullptr;
        ASSERT_EQ(cpu::CreateTexture(device, 2, 1, 1, 0, c.format, PoolManaged, texture), RenderOk);
        textures.push_back(texture);
        LockedRect locked{};
        ASSERT_EQ(cpu::LockRect(texture, 0, locked, nullptr, LockDiscard), RenderOk);
        const size_t size = c.format == FormatR8G8B8                                   ? 3
                            : c.format == FormatA8 || c.format == FormatR3G3B2         ? 1
                            : c.format == FormatA8R8G8B8 || c.format == FormatX8R8G8B8 ? 4
                                                                                       : 2;
        auto* bits = static_cast<uint8_t*>(locked.bits);
        std::memcpy(bits, c.bytes[0], size);
        std::memcpy(bits + size, c.bytes[1], size);
        ASSERT_EQ(cpu::UnlockRect(texture, 0), RenderOk);

        cpu::Clear(device, 0, nullptr, ClearTarget, 0x00808080u, 0.0f, 0);
        cpu::BeginScene(device);
        DrawScreenQuad(texture, 10.0f, 10.0f, 12.0f, 11.0f);
        cpu::EndScene(device);
        PresentAndRead();
        for (int k = 0; k < 2; ++k) {
            const uint32_t t = c.expected[k];
            const int a = static_cast<int>(t >> 24);
            auto blended = [&](int channel) { return (channel * a + 128 * (255 - a) + 127) / 255; };
            const Pixel p = At(10 + k, 10);
            EXPECT_NEAR(p.r, blended(static_cast<int>((t >> 16) & 0xFF)), 1) << "texel " << k;
            EXPECT_NEAR(p.g, blended(static_cast<int>((t >> 8) & 0xFF)), 1) << "texel " << k;
            EXPECT_NEAR(p.b, blended(static_cast<int>(t & 0xFF)), 1) << "texel " << k;
        }
    }
}

// The rectangles the saver draws go a row at a time; the same triangles drawn one per call
// cannot be taken for a rectangle and go a pixel at a time. Both must cover the same pixels
// and agree to the level.
TEST_F(CpuDeviceTest, RectanglesDrawTheSamePixelsAsTheirTriangles)
{
    RenderTexture* texture = MakeTexture(64, 32, RandomTexels(64 * 32, 7));
    struct Case {
        const char* what;
        bool world;
        float x0, y0, x1, y1;  // pixels, or world units for the world quads
        float u0, v0, u1, v1;
        uint32_t filter;
        bool blend;
        uint32_t materialColor;  // 0: lighting off
    };
    const Case cases[] = {
        {"glyph-sized, magnified", false, 10.3f, 20.6f, 31.9f, 48.2f, 0.1f, 0.2f, 0.4f, 0.9f,
         TextureFilterLinear, true, 0},
        {"minified, wrapping", false, 5.5f, 5.5f, 60.25f, 22.75f, -0.5f, 0.0f, 2.5f, 1.5f,
         TextureFilterLinear, false, 0},
        {"point sampled, edges on centres", false, 40.0f, 50.0f, 104.0f, 82.0f, 0.0f, 0.0f, 1.0f,
         1.0f, TextureFilterPoint, true, 0},
        {"mirrored coordinates", false, 150.2f, 30.7f, 90.6f, 70.1f, 0.0f, 0.0f, 1.0f, 1.0f,
         TextureFilterLinear, true, 0},
        {"a spot through the camera, lit by the material", true, 1.1f, 0.7f, 2.05f, 1.65f, 0, 0, 1,
         1, TextureFilterLinear, true, 0x00C08040},
    };
    UseSaverCamera();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetFilter(c.filter);
        cpu::SetRenderState(device, RenderStateType::AlphaBlendEnable, c.blend ? 1 : 0);
        cpu::SetRenderState(device, RenderStateType::SrcBlend, BlendSrcAlpha);
        cpu::SetRenderState(device, RenderStateType::DestBlend, BlendInvSrcAlpha);
        cpu::SetRenderState(device, RenderStateType::Lighting, c.materialColor != 0 ? 1 : 0);
        Material material{};
        material.ambient[0] = static_cast<float>((c.materialColor >> 16) & 0xFF) / 255.0f;
        material.ambient[1] = static_cast<float>((c.materialColor >> 8) & 0xFF) / 255.0f;
        material.ambient[2] = static_cast<float>(c.materialColor & 0xFF) / 255.0f;
        cpu::SetMaterial(device, material);
        cpu::SetRenderState(device, RenderStateType::Ambient, 0x00FFFFFF);

        std::vector<uint8_t> frames[2];
        for (int split = 0; split < 2; ++split) {
            cpu::Clear(device, 0, nullptr, ClearTarget, 0x00204060u, 0.0f, 0);
            cpu::BeginScene(device);
            if (c.world) {
                DrawWorldQuad(texture, c.x0, c.y0, c.x1, c.y1, split == 1);
            } else {
                DrawScreenQuad(texture, c.x0, c.y0, c.x1, c.y1, c.u0, c.v0, c.u1, c.v1, split == 1);
            }
            cpu::EndScene(device);
            PresentAndRead();
            frames[split] = frame;
        }
        int worst = 0;
        int64_t drawn = 0;
        for (size_t i = 0; i < frame.size(); i += 4) {
            const bool background[2] = {frames[0][i] == 0x20 && frames[0][i + 1] == 0x40 &&
                                            frames[0][i + 2] == 0x60,
                                        frames[1][i] == 0x20 && frames[1][i + 1] == 0x40 &&
                                            frames[1][i + 2] == 0x60};
            drawn += background[0] ? 0 : 1;
            for (int k = 0; k < 3; ++k) {
                worst = std::max(worst, std::abs(frames[0][i + k] - frames[1][i + k]));
            }
        }
        EXPECT_GT(drawn, 100);
        EXPECT_LE(worst, 1);
    }
}

TEST_F(CpuDeviceTest, APixelIsDrawnWhenItsCentreIsInsideByTheTopLeftRule)
{
    RenderTexture* white = MakeTexture(1, 1, {0xFFFFFFFFu});
    cpu::Clear(device, 0, nullptr, ClearTarget, 0, 0.0f, 0);
    cpu::BeginScene(device);
    DrawScreenQuad(white, 9.5f, 19.5f, 19.5f, 24.5f);                     // centres 10..19 x 20..24
    DrawScreenQuad(white, 40.0f, 20.0f, 50.0f, 25.0f);                    // left and top edges in
    DrawScreenQuad(white, 60.0f, 20.0f, 70.0f, 25.0f, 0, 0, 1, 1, true);  // the same, split
    // A triangle with its edges through centres: (100,100) (110,100) (100,110).
    const float triangle[3][6] = {{100, 100, 0, 1, 0, 0},
                                  {110, 100, 0, 1, 0, 0},
                                  {100, 110, 0, 1, 0, 0}};
    DrawTriangles(VertexFormatXyzRhwTex1, &triangle[0][0], 3, white);
    cpu::EndScene(device);
    PresentAndRead();
    for (int32_t y = 15; y < 30; ++y) {
        for (int32_t x = 5; x < 75; ++x) {
            const bool inside = (x >= 10 && x < 20 && y >= 20 && y < 25) ||
                                (x >= 40 && x < 50 && y >= 20 && y < 25) ||
                                (x >= 60 && x < 70 && y >= 20 && y < 25);
            EXPECT_EQ(!Black(x, y), inside) << x << "," << y;
        }
    }
    // The top and left edges are in, the hypotenuse (x + y = 210) is out.
    for (int32_t y = 98; y < 112; ++y) {
        for (int32_t x = 98; x < 112; ++x) {
            const bool inside = x >= 100 && y >= 100 && x + y < 210;
            EXPECT_EQ(!Black(x, y), inside) << x << "," << y;
        }
    }
}

namespace {

// Records what a device hands its presenter.
struct RecordingPresenter {
    int shows = 0;
    std::vector<cpu::PixelRect> rects;
    int32_t width = 0;
    int32_t height = 0;
    bool closed = false;
};

RecordingPresenter Recorded;

bool OpenRecording(void*, NativeWindow window, int32_t width, int32_t height,
                   cpu::Presenter& presenter)
{
    if (window != 42) return false;
    Recorded = RecordingPresenter{};
    Recorded.width = width;
    Recorded.height = height;
    presenter.context = &Recorded;
    presenter.show = [](void* context, const uint32_t*, int32_t, int32_t, int32_t,
                        const cpu::PixelRect* rects, uint32_t count) {
        auto* r = static_cast<RecordingPresenter*>(context);
        ++r->shows;
        r->rects.assign(rects, rects + count);
        return true;
    };
    presenter.resize = [](void* context, int32_t w, int32_t h) {
        auto* r = static_cast<RecordingPresenter*>(context);
        r->width = w;
        r->height = h;
        return true;
    };
    presenter.close = [](void* context) {
        static_cast<RecordingPresenter*>(context)->closed = true;
    };
    return true;
}

bool Covers(const std::vector<cpu::PixelRect>& rects, int32_t x, int32_t y)
{
    return std::any_of(rects.begin(), rects.end(), [&](const cpu::PixelRect& r) {
        return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
    });
}

int64_t Area(const std::vector<cpu::PixelRect>& rects)
{
    int64_t area = 0;
    for (const cpu::PixelRect& r : rects) area += int64_t{r.right - r.left} * (r.bottom - r.top);
    return area;
}

}  // namespace

// A frame shows only what changed since the one before: last frame's drawings (now cleared)
// and this frame's.
TEST_F(CpuDeviceTest, OnlyWhatChangedIsPresentedAndCleared)
{
    cpu::Release(vertices);
    cpu::Release(device);
    vertices = nullptr;
    device = nullptr;
    cpu::SetPresenterOpener(OpenRecording, nullptr);
    PresentParameters params = FullScreenParameters(Width, Height);
    params.deviceWindow = 42;
    ASSERT_EQ(cpu::CreateDevice(system, 0, DeviceTypeHal, 0, CreateSoftwareVertexProcessing, params,
                                device),
              RenderOk);
    cpu::SetPresenterOpener(nullptr, nullptr);
    ASSERT_EQ(cpu::CreateVertexBuffer(device, 16 * 24, 0, 0, PoolManaged, vertices), RenderOk);
    cpu::SetRenderState(device, RenderStateType::ZEnable, 0);
    cpu::SetRenderState(device, RenderStateType::CullMode, CullNone);
    EXPECT_EQ(Recorded.width, Width);
    RenderTexture* white = MakeTexture(1, 1, {0xFFFFFFFFu});

    auto frameWith = [&](std::initializer_list<cpu::PixelRect> quads) {
        cpu::Clear(device, 0, nullptr, ClearTarget, 0, 0.0f, 0);
        cpu::BeginScene(device);
        for (const cpu::PixelRect& q : quads) {
            DrawScreenQuad(white, static_cast<float>(q.left), static_cast<float>(q.top),
                           static_cast<float>(q.right), static_cast<float>(q.bottom));
        }
        cpu::EndScene(device);
        PresentAndRead();
    };
    using Rects = std::vector<cpu::PixelRect>;
    auto presented = [&] {
        Rects rects(cpu::PresentedRects(device, nullptr, 0));
        cpu::PresentedRects(device, rects.data(), static_cast<uint32_t>(rects.size()));
        return rects;
    };

    frameWith({{10, 10, 60, 40}});
    EXPECT_EQ(presented(), (Rects{{0, 0, Width, Height}})) << "the first frame is all new";
    frameWith({{10, 10, 60, 40}});
    EXPECT_EQ(Area(presented()), 50 * 30);
    EXPECT_TRUE(Covers(presented(), 10, 10));

    // Moved a little: old and new squares go as one, and the strip left behind is black.
    frameWith({{14, 12, 64, 42}});
    EXPECT_EQ(presented(), (Rects{{10, 10, 64, 42}}));
    EXPECT_TRUE(Black(11, 11));
    EXPECT_FALSE(Black(14, 12));

    // Moved far, with a second square elsewhere: the three apart.
    frameWith({{200, 150, 250, 200}, {100, 20, 120, 30}});
    Rects rects = presented();
    EXPECT_EQ(rects, Recorded.rects) << "what the presenter was given";
    EXPECT_EQ(rects.size(), 3u);
    EXPECT_EQ(Area(rects), 50 * 30 + 50 * 50 + 20 * 10);
    for (const auto& [x, y] : {std::pair{14, 12}, {63, 41}, {200, 150}, {119, 29}}) {
        EXPECT_TRUE(Covers(rects, x, y)) << x << "," << y;
    }
    EXPECT_TRUE(Black(20, 20));
    EXPECT_FALSE(Black(201, 151));

    // Nothing drawn: only the clearing of the last two shows.
    frameWith({});
    EXPECT_EQ(Area(presented()), 50 * 50 + 20 * 10);
    frameWith({});
    EXPECT_TRUE(presented().empty());
    EXPECT_EQ(Recorded.shows, 5) << "nothing to show, nothing sent";

    // A colour over everything, and black again: all of it both times.
    cpu::Clear(device, 0, nullptr, ClearTarget, 0x00FF0000u, 0.0f, 0);
    PresentAndRead();
    EXPECT_EQ(presented(), (Rects{{0, 0, Width, Height}}));
    EXPECT_EQ(At(Width - 1, Height - 1).r, 255);
    frameWith({});
    EXPECT_EQ(presented(), (Rects{{0, 0, Width, Height}}));
    EXPECT_TRUE(Black(Width - 1, Height - 1));

    // Clear rectangles count as drawn when not of the clear colour.
    const int32_t strip[4] = {0, 100, Width, 104};
    cpu::Clear(device, 1, strip, ClearTarget, 0x0000FF00u, 0.0f, 0);
    PresentAndRead();
    EXPECT_EQ(presented(), (Rects{{0, 100, Width, 104}}));
    frameWith({});
    EXPECT_EQ(presented(), (Rects{{0, 100, Width, 104}}));
    EXPECT_TRUE(Black(5, 101));

    // More scattered squares than the lists hold: fewer, larger rectangles that still cover
    // every one of them, and all are cleared next frame.
    cpu::Clear(device, 0, nullptr, ClearTarget, 0, 0.0f, 0);
    cpu::BeginScene(device);
    for (int32_t k = 0; k < 60; ++k) {
        const auto x = static_cast<float>((k * 37) % (Width - 4));
        const auto y = static_cast<float>((k * 53) % (Height - 4));
        DrawScreenQuad(white, x, y, x + 3, y + 3);
    }
    cpu::EndScene(device);
    PresentAndRead();
    rects = presented();
    EXPECT_LE(rects.size(), 24u);
    for (int32_t k = 0; k < 60; ++k) {
        EXPECT_TRUE(Covers(rects, (k * 37) % (Width - 4) + 2, (k * 53) % (Height - 4) + 2)) << k;
    }
    frameWith({});
    for (int32_t y = 0; y < Height; ++y) {
        for (int32_t x = 0; x < Width; ++x) ASSERT_TRUE(Black(x, y)) << x << "," << y;
    }

    // A resize: black, the new size everywhere, all of it shown next.
    EXPECT_EQ(cpu::ResizeBackBuffer(device, 100, 50), RenderOk);
    EXPECT_EQ(Recorded.width, 100);
    EXPECT_EQ(Recorded.height, 50);
    Viewport viewport{};
    cpu::GetViewport(device, viewport);
    EXPECT_EQ(viewport.width, 100u);
    EXPECT_EQ(viewport.height, 50u);
    width = 100;
    height = 50;
    frame.assign(100 * 50 * 4, 0xAB);
    PresentAndRead();
    EXPECT_EQ(presented(), (Rects{{0, 0, 100, 50}}));
    EXPECT_TRUE(Black(99, 49));
    cpu::BeginScene(device);
    EXPECT_EQ(cpu::ResizeBackBuffer(device, 200, 100), RenderErrorInvalidCall);
    cpu::EndScene(device);

    cpu::Release(device);
    device = nullptr;
    EXPECT_TRUE(Recorded.closed);
}

TEST_F(CpuDeviceTest, ReleasingTheDeviceFirstLeavesItsResourcesSafeToRelease)
{
    RenderTexture* texture = MakeTexture(4, 4, RandomTexels(16, 3));
    textures.clear();
    RenderVertexBuffer* buffer = vertices;
    vertices = nullptr;
    cpu::Release(device);
    device = nullptr;
    LockedRect locked{};
    EXPECT_EQ(cpu::LockRect(texture, 0, locked, nullptr, 0), RenderErrorInvalidCall);
    uint8_t* data = nullptr;
    EXPECT_EQ(cpu::LockVertexBuffer(buffer, 0, 0, data, 0), RenderErrorInvalidCall);
    cpu::Release(texture);
    cpu::Release(buffer);
    // The system lives on while a device holds it, and goes with the last of them.
    cpu::Release(system);
    system = nullptr;
}
