// The OpenGL back end drawing into an X11 window (run under a virtual X server).
#include <cstdlib>
#include <cstring>
#include <vector>

#include "gl_test_support.h"

// After the test framework, whose names Xlib's macros would replace.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

class GlWindowTest : public testing::Test {
protected:
    void SetUp() override
    {
        if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no X server";
        display = XOpenDisplay(nullptr);
        ASSERT_NE(display, nullptr);
        window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 320, 240, 0, 0, 0);
        XMapWindow(display, window);
        XSync(display, False);
        gl::SetNativeDisplay(display);
        system = CreateRenderSystem(RenderSdkVersion);
        ASSERT_NE(system, nullptr);
    }

    void TearDown() override
    {
        ReleaseHandle(texture);
        ReleaseHandle(buffer);
        ReleaseHandle(device);
        ReleaseHandle(system);
        gl::SetNativeDisplay(nullptr);
        if (display != nullptr) {
            XDestroyWindow(display, window);
            XCloseDisplay(display);
        }
    }

    // A green quad over the top-left quarter of a red back buffer.
    void DrawAndPresent(uint32_t width, uint32_t height)
    {
        PresentParameters params = SaverPresentParameters(width, height);
        params.windowed = 1;
        ASSERT_EQ(CreateDevice(system, DefaultAdapter, DeviceTypeHal, window,
                               CreateHardwareVertexProcessing, params, device),
                  RenderOk);
        KeepLoadedLibraries();
        ASSERT_EQ(CreateTexture(device, 1, 1, 1, UsageNone, FormatA8R8G8B8, PoolManaged, texture),
                  RenderOk);
        LockedRect locked{};
        ASSERT_EQ(LockRect(texture, 0, locked, nullptr, 0), RenderOk);
        const uint32_t green = 0xFF00FF00u;
        std::memcpy(locked.bits, &green, 4);
        UnlockRect(texture, 0);
        ASSERT_EQ(CreateVertexBuffer(device, 6 * 24, UsageWriteOnly, VertexFormatXyzRhwTex1,
                                     PoolManaged, buffer),
                  RenderOk);
        const float w = static_cast<float>(width) / 2.0f;
        const float h = static_cast<float>(height) / 2.0f;
        const float vertices[6][6] = {{0, h, 0, 1, 0, 1}, {0, 0, 0, 1, 0, 0}, {w, h, 0, 1, 1, 1},
                                      {w, 0, 0, 1, 1, 0}, {w, h, 0, 1, 1, 1}, {0, 0, 0, 1, 0, 0}};
        uint8_t* data = nullptr;
        ASSERT_EQ(LockVertexBuffer(buffer, 0, 0, data, 0), RenderOk);
        std::memcpy(data, vertices, sizeof vertices);
        UnlockVertexBuffer(buffer);
        SetRenderState(device, RenderStateType::ZEnable, ZBufferFalse);
        Clear(device, 0, nullptr, ClearTarget, 0x00FF0000u, 0.0f, 0);
        BeginScene(device);
        SetVertexShader(device, VertexFormatXyzRhwTex1);
        SetStreamSource(device, 0, buffer, 24);
        SetTexture(device, 0, texture);
        ASSERT_EQ(DrawPrimitive(device, PrimitiveType::TriangleList, 0, 2), RenderOk);
        EndScene(device);
        ASSERT_EQ(Present(device), RenderOk);
    }

    unsigned long WindowPixel(int x, int y)
    {
        XImage* image = XGetImage(display, window, x, y, 1, 1, AllPlanes, ZPixmap);
        const unsigned long pixel = XGetPixel(image, 0, 0) & 0xFFFFFFu;
        XDestroyImage(image);
        return pixel;
    }

    Display* display = nullptr;
    Window window = 0;
    RenderSystem* system = nullptr;
    RenderDevice* device = nullptr;
    RenderTexture* texture = nullptr;
    RenderVertexBuffer* buffer = nullptr;
};

}  // namespace

TEST_F(GlWindowTest, PresentShowsTheBackBufferUprightInTheWindow)
{
    DrawAndPresent(320, 240);
    EXPECT_EQ(WindowPixel(10, 10), 0x00FF00u);
    EXPECT_EQ(WindowPixel(159, 119), 0x00FF00u);
    EXPECT_EQ(WindowPixel(160, 119), 0xFF0000u);
    EXPECT_EQ(WindowPixel(10, 120), 0xFF0000u);
    EXPECT_EQ(WindowPixel(300, 220), 0xFF0000u);
}

TEST_F(GlWindowTest, PresentStretchesASmallerBackBufferOverTheWindow)
{
    DrawAndPresent(160, 120);
    EXPECT_EQ(WindowPixel(10, 10), 0x00FF00u);
    EXPECT_EQ(WindowPixel(150, 110), 0x00FF00u);
    EXPECT_EQ(WindowPixel(170, 130), 0xFF0000u);
    EXPECT_EQ(WindowPixel(300, 220), 0xFF0000u);
}

TEST_F(GlWindowTest, EndingTheLastSystemOfAnotherDisplayLeavesThisDeviceDrawing)
{
    // A device without a window on the X11 display, current on this thread.
    ASSERT_EQ(CreateDevice(system, DefaultAdapter, DeviceTypeHal, 0, CreateHardwareVertexProcessing,
                           SaverPresentParameters(16, 16), device),
              RenderOk);
    KeepLoadedLibraries();
    gl::SetNativeDisplay(nullptr);
    RenderSystem* offscreen = CreateRenderSystem(RenderSdkVersion);
    ASSERT_NE(offscreen, nullptr);
    ReleaseHandle(offscreen);  // ends the offscreen display and lets this thread's context go

    ASSERT_EQ(Clear(device, 0, nullptr, ClearTarget, 0x0000FF00u, 0.0f, 0), RenderOk);
    ASSERT_EQ(Present(device), RenderOk);
    std::vector<uint8_t> frame(16 * 16 * 4, 0);
    ASSERT_EQ(gl::ReadPresentedFrame(device, frame.data(), 16 * 4), RenderOk);
    EXPECT_EQ(frame[0], 0);
    EXPECT_EQ(frame[1], 255);
}
