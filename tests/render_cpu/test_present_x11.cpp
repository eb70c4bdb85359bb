// The processor back end's frames in X11 windows (run under a private virtual X server): what
// the window shows is the back buffer, through shared memory or without, in a depth-24 or a
// depth-32 visual; only the changed rectangles are sent; a resize is followed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "cpu_test_support.h"
#include "render/cpu/x11/x11_presenter.h"

// After the test framework, whose names Xlib's macros would replace.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

class X11PresenterTest : public testing::Test {
protected:
    void SetUp() override
    {
        if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no X server";
        display = XOpenDisplay(nullptr);
        ASSERT_NE(display, nullptr);
        system = cpu::CreateRenderSystem(RenderSdkVersion);
    }

    void TearDown() override
    {
        if (vertices != nullptr) cpu::Release(vertices);
        if (device != nullptr) cpu::Release(device);
        if (system != nullptr) cpu::Release(system);
        UseX11Presenters(nullptr);
        if (display != nullptr) {
            if (window != 0) XDestroyWindow(display, window);
            XCloseDisplay(display);
        }
    }

    // A plain window of the default visual, or of a depth-32 TrueColor one.
    void MakeWindow(int32_t w, int32_t h, int depth = 0)
    {
        XSetWindowAttributes attributes{};
        attributes.background_pixel = 0x00FFFFFF;  // white where nothing was sent
        attributes.border_pixel = 0;
        unsigned long mask = CWBackPixel | CWBorderPixel;
        Visual* visual = CopyFromParent;
        int windowDepth = CopyFromParent;
        if (depth == 32) {
            XVisualInfo info{};
            if (XMatchVisualInfo(display, DefaultScreen(display), 32, TrueColor, &info) == 0) {
                GTEST_SKIP() << "no depth-32 visual";
            }
            visual = info.visual;
            windowDepth = 32;
            attributes.colormap =
                XCreateColormap(display, DefaultRootWindow(display), visual, AllocNone);
            attributes.background_pixel = 0xFFFFFFFF;
            mask |= CWColormap;
        }
        window = XCreateWindow(display, DefaultRootWindow(display), 0, 0, static_cast<unsigned>(w),
                               static_cast<unsigned>(h), 0, windowDepth, InputOutput, visual, mask,
                               &attributes);
        XMapWindow(display, window);
        XSync(display, False);
    }

    void MakeDevice(int32_t w, int32_t h, bool sharedMemory)
    {
        UseX11Presenters(display, X11PresenterOptions{sharedMemory});
        PresentParameters params =
            FullScreenParameters(static_cast<uint32_t>(w), static_cast<uint32_t>(h));
        params.windowed = 1;
        params.deviceWindow = window;
        ASSERT_EQ(cpu::CreateDevice(system, 0, DeviceTypeHal, window,
                                    CreateSoftwareVertexProcessing, params, device),
                  RenderOk);
        ASSERT_EQ(cpu::CreateVertexBuffer(device, 6 * 24, 0, 0, PoolManaged, vertices), RenderOk);
        cpu::SetRenderState(device, RenderStateType::ZEnable, 0);
        cpu::SetRenderState(device, RenderStateType::CullMode, CullNone);
        width = w;
        height = h;
    }

    // Colour squares and a blended gradient quad over a dark back buffer.
    void DrawFrame(int32_t shift)
    {
        cpu::Clear(device, 0, nullptr, ClearTarget, 0x00101820u, 0.0f, 0);
        const int32_t squares[8] = {5 + shift, 5, 40 + shift, 30, 50, 60 + shift, 70, 90 + shift};
        cpu::Clear(device, 1, squares, ClearTarget, 0x00FF4000u, 0.0f, 0);
        cpu::Clear(device, 1, squares + 4, ClearTarget, 0x0000C0FFu, 0.0f, 0);
        RenderTexture* texture = nullptr;
        ASSERT_EQ(cpu::CreateTexture(device, 2, 2, 1, 0, FormatA8R8G8B8, PoolManaged, texture),
                  RenderOk);
        LockedRect locked{};
        cpu::LockRect(texture, 0, locked, nullptr, 0);
        auto* row0 = static_cast<uint32_t*>(locked.bits);
        auto* row1 = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.bits) + locked.pitch);
        row0[0] = 0xFFFF0000u;
        row0[1] = 0x8000FF00u;
        row1[0] = 0x400000FFu;
        row1[1] = 0xFFFFFFFFu;
        cpu::UnlockRect(texture, 0);
        cpu::SetTextureStageState(device, 0, TextureStageStateType::MagFilter, TextureFilterLinear);
        cpu::SetRenderState(device, RenderStateType::AlphaBlendEnable, 1);
        cpu::SetRenderState(device, RenderStateType::SrcBlend, BlendSrcAlpha);
        cpu::SetRenderState(device, RenderStateType::DestBlend, BlendInvSrcAlpha);
        const auto x0 = static_cast<float>(80 + shift);
        const float quad[6][6] = {{x0, 70, 0, 1, 0, 1},      {x0, 10, 0, 1, 0, 0},
                                  {x0 + 60, 70, 0, 1, 1, 1}, {x0 + 60, 10, 0, 1, 1, 0},
                                  {x0 + 60, 70, 0, 1, 1, 1}, {x0, 10, 0, 1, 0, 0}};
        uint8_t* data = nullptr;
        cpu::LockVertexBuffer(vertices, 0, 0, data, 0);
        std::memcpy(data, quad, sizeof quad);
        cpu::UnlockVertexBuffer(vertices);
        cpu::BeginScene(device);
        cpu::SetVertexShader(device, VertexFormatXyzRhwTex1);
        cpu::SetStreamSource(device, 0, vertices, 24);
        cpu::SetTexture(device, 0, texture);
        cpu::DrawPrimitive(device, PrimitiveType::TriangleList, 0, 2);
        cpu::EndScene(device);
        ASSERT_EQ(cpu::Present(device), RenderOk);
        cpu::Release(texture);
    }

    // The window's pixels as 0xRRGGBB (and the bits beyond them), row by row.
    std::vector<uint32_t> WindowPixels(uint32_t& extraBits)
    {
        XSync(display, False);
        XImage* image = XGetImage(display, window, 0, 0, static_cast<unsigned>(width),
                                  static_cast<unsigned>(height), AllPlanes, ZPixmap);
        std::vector<uint32_t> pixels;
        extraBits = 0xFFFFFFFFu;
        if (image == nullptr) return pixels;
        const unsigned long masks = image->red_mask | image->green_mask | image->blue_mask;
        for (int32_t y = 0; y < height; ++y) {
            for (int32_t x = 0; x < width; ++x) {
                const unsigned long p = XGetPixel(image, x, y);
                // The default visual's masks are the usual ones under Xvfb.
                pixels.push_back(static_cast<uint32_t>(p & 0xFFFFFFu));
                if (image->depth == 32) extraBits &= static_cast<uint32_t>(p & ~masks);
            }
        }
        XDestroyImage(image);
        return pixels;
    }

    std::vector<uint32_t> BackBuffer()
    {
        const uint32_t* pixels = nullptr;
        int32_t pitch = 0, w = 0, h = 0;
        cpu::GetBackBuffer(device, pixels, pitch, w, h);
        std::vector<uint32_t> out;
        for (int32_t y = 0; y < h; ++y) {
            for (int32_t x = 0; x < w; ++x) out.push_back(pixels[y * pitch + x] & 0xFFFFFFu);
        }
        return out;
    }

    Display* display = nullptr;
    Window window = 0;
    RenderSystem* system = nullptr;
    RenderDevice* device = nullptr;
    RenderVertexBuffer* vertices = nullptr;
    int32_t width = 0;
    int32_t height = 0;
};

}  // namespace

TEST_F(X11PresenterTest, TheWindowShowsTheBackBufferWithAndWithoutSharedMemory)
{
    for (const bool shared : {true, false}) {
        SCOPED_TRACE(shared ? "shared memory" : "XPutImage");
        MakeWindow(200, 150);
        MakeDevice(200, 150, shared);
        ASSERT_NE(X11PresenterOf(device), nullptr);
        EXPECT_EQ(X11PresenterUsesSharedMemory(X11PresenterOf(device)), shared);
        DrawFrame(0);
        uint32_t extra = 0;
        EXPECT_EQ(WindowPixels(extra), BackBuffer());
        DrawFrame(7);
        EXPECT_EQ(WindowPixels(extra), BackBuffer());
        cpu::Release(vertices);
        cpu::Release(device);
        vertices = nullptr;
        device = nullptr;
        XDestroyWindow(display, window);
        window = 0;
    }
}

TEST_F(X11PresenterTest, OnlyTheChangedRectanglesAreSent)
{
    MakeWindow(200, 150);
    MakeDevice(200, 150, true);
    DrawFrame(0);
    // Paint the window white behind the presenter's back: what is not sent stays white.
    GC gc = XCreateGC(display, window, 0, nullptr);
    XSetForeground(display, gc, 0xFFFFFF);
    XFillRectangle(display, window, gc, 0, 0, 200, 150);
    XFreeGC(display, gc);
    DrawFrame(3);
    std::vector<cpu::PixelRect> sent(cpu::PresentedRects(device, nullptr, 0));
    cpu::PresentedRects(device, sent.data(), static_cast<uint32_t>(sent.size()));
    ASSERT_FALSE(sent.empty());
    uint32_t extra = 0;
    const std::vector<uint32_t> shown = WindowPixels(extra);
    const std::vector<uint32_t> back = BackBuffer();
    int64_t white = 0;
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            const size_t i = static_cast<size_t>(y) * width + x;
            bool inside = false;
            for (const cpu::PixelRect& r : sent) {
                inside = inside || (x >= r.left && x < r.right && y >= r.top && y < r.bottom);
            }
            if (inside) {
                ASSERT_EQ(shown[i], back[i]) << x << "," << y;
            } else {
                ASSERT_EQ(shown[i], 0xFFFFFFu) << x << "," << y;
                ++white;
            }
        }
    }
    EXPECT_GT(white, 200 * 150 / 4);

    // An Expose of everything: the presenter puts the whole last frame back on its own.
    ASSERT_TRUE(RepaintX11(X11PresenterOf(device), -10, -10, 400, 400));
    EXPECT_EQ(WindowPixels(extra), back);
}

TEST_F(X11PresenterTest, AResizedWindowGetsABackBufferOfItsSize)
{
    MakeWindow(120, 90);
    MakeDevice(120, 90, true);
    DrawFrame(0);
    XResizeWindow(display, window, 260, 170);
    XSync(display, False);
    ASSERT_EQ(cpu::ResizeBackBuffer(device, 260, 170), RenderOk);
    width = 260;
    height = 170;
    DrawFrame(100);
    uint32_t extra = 0;
    EXPECT_EQ(WindowPixels(extra), BackBuffer());
}

TEST_F(X11PresenterTest, ADepth32WindowIsFilledOpaque)
{
    MakeWindow(160, 100, 32);
    if (IsSkipped()) return;
    MakeDevice(160, 100, true);
    DrawFrame(0);
    uint32_t extra = 0;
    EXPECT_EQ(WindowPixels(extra), BackBuffer());
    EXPECT_EQ(extra, 0xFF000000u) << "the alpha bits of every pixel";
}

TEST_F(X11PresenterTest, AWindowThatIsNotThereIsRefusedNotFatal)
{
    const unsigned long missing = 0x3FFFFFF;
    EXPECT_EQ(OpenX11Presenter(display, missing, 10, 10), nullptr);
    UseX11Presenters(display);
    PresentParameters params = FullScreenParameters(10, 10);
    params.deviceWindow = missing;
    EXPECT_EQ(cpu::CreateDevice(system, 0, DeviceTypeHal, missing, CreateSoftwareVertexProcessing,
                                params, device),
              RenderErrorNotAvailable);
    EXPECT_EQ(device, nullptr);
    // The connection is still good.
    MakeWindow(10, 10);
    X11Presenter* presenter = OpenX11Presenter(display, window, 10, 10);
    EXPECT_NE(presenter, nullptr);
    CloseX11Presenter(presenter);
}
