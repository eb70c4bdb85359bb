// The processor back end's frames in X11 windows (run under a private virtual X server): what
// the window shows is the frame, through shared memory or without, in a depth-24 or a
// depth-32 visual; only the changed rectangles are sent; a resize is followed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "render/cpu/x11/x11_presenter.h"
#include "render/switch/renderer_back_end.h"

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
    }

    void TearDown() override
    {
        CloseRenderer();
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

    void MakeRenderer(int32_t w, int32_t h, bool sharedMemory)
    {
        UseX11Presenters(display, X11PresenterOptions{sharedMemory});
        renderer = cpu::BackEnd.open();
        ASSERT_NE(renderer, nullptr);
        ASSERT_TRUE(
            cpu::BackEnd.createDevice(renderer, window, w, h, RendererOptions{true, false}));
        ASSERT_TRUE(cpu::BackEnd.createSpotResources(renderer, 0));
        width = w;
        height = h;
    }

    void CloseRenderer()
    {
        if (renderer != nullptr) cpu::BackEnd.close(renderer);
        renderer = nullptr;
    }

    // A spot of blended colour over the top left corner, moved by shift.
    void DrawFrame(int32_t shift)
    {
        cpu::BackEnd.placeSpot(renderer, 0, SpotPlacement{0, 0, 0.0f, 0.0f, -170, -150 + shift});
        uint8_t* texels = nullptr;
        int32_t pitch = 0;
        ASSERT_TRUE(cpu::BackEnd.lockSpotTexels(renderer, 0, texels, pitch));
        for (uint32_t t = 0; t < 256; ++t) {
            auto* row = reinterpret_cast<uint32_t*>(texels + t * static_cast<uint32_t>(pitch));
            for (uint32_t c = 0; c < 256; ++c) row[c] = t << 24 | c << 16 | (255 - c) << 8 | 0x40;
        }
        cpu::BackEnd.unlockSpotTexels(renderer, 0);
        cpu::BackEnd.presentFrame(renderer, OverlayFrame{});
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

    std::vector<uint32_t> Frame()
    {
        std::vector<uint8_t> rgba(static_cast<size_t>(width) * height * 4);
        EXPECT_TRUE(cpu::BackEnd.readFrame(renderer, rgba.data(), width * 4));
        std::vector<uint32_t> out;
        for (size_t i = 0; i < rgba.size(); i += 4) {
            out.push_back(uint32_t{rgba[i]} << 16 | uint32_t{rgba[i + 1]} << 8 | rgba[i + 2]);
        }
        return out;
    }

    Display* display = nullptr;
    Window window = 0;
    Renderer* renderer = nullptr;
    int32_t width = 0;
    int32_t height = 0;
};

}  // namespace

TEST_F(X11PresenterTest, TheWindowShowsTheFrameWithAndWithoutSharedMemory)
{
    for (const bool shared : {true, false}) {
        SCOPED_TRACE(shared ? "shared memory" : "XPutImage");
        MakeWindow(200, 150);
        MakeRenderer(200, 150, shared);
        ASSERT_NE(X11PresenterOf(renderer), nullptr);
        EXPECT_EQ(X11PresenterUsesSharedMemory(X11PresenterOf(renderer)), shared);
        DrawFrame(0);
        uint32_t extra = 0;
        EXPECT_EQ(WindowPixels(extra), Frame());
        DrawFrame(7);
        EXPECT_EQ(WindowPixels(extra), Frame());
        CloseRenderer();
        XDestroyWindow(display, window);
        window = 0;
    }
}

TEST_F(X11PresenterTest, OnlyTheChangedRectanglesAreSent)
{
    MakeWindow(200, 150);
    MakeRenderer(200, 150, true);
    DrawFrame(0);
    const std::vector<uint32_t> first = Frame();
    // Paint the window white behind the presenter's back: what is not sent stays white.
    GC gc = XCreateGC(display, window, 0, nullptr);
    XSetForeground(display, gc, 0xFFFFFF);
    XFillRectangle(display, window, gc, 0, 0, 200, 150);
    XFreeGC(display, gc);
    DrawFrame(3);
    uint32_t extra = 0;
    const std::vector<uint32_t> shown = WindowPixels(extra);
    const std::vector<uint32_t> back = Frame();
    int64_t white = 0;
    for (size_t i = 0; i < back.size(); ++i) {
        // What was not sent is what did not change.
        if (shown[i] == 0xFFFFFFu && back[i] != 0xFFFFFFu) {
            ASSERT_EQ(back[i], first[i]) << i % width << "," << i / width;
            ++white;
        } else {
            ASSERT_EQ(shown[i], back[i]) << i % width << "," << i / width;
        }
    }
    EXPECT_GT(white, 200 * 150 / 4);

    // An Expose of everything: the presenter puts the whole last frame back on its own.
    ASSERT_TRUE(RepaintX11(X11PresenterOf(renderer), -10, -10, 400, 400));
    EXPECT_EQ(WindowPixels(extra), back);
}

TEST_F(X11PresenterTest, AResizedWindowGetsAFrameOfItsSize)
{
    MakeWindow(120, 90);
    MakeRenderer(120, 90, true);
    DrawFrame(0);
    XResizeWindow(display, window, 260, 170);
    XSync(display, False);
    ASSERT_TRUE(cpu::BackEnd.resize(renderer, 260, 170));
    width = 260;
    height = 170;
    DrawFrame(100);
    uint32_t extra = 0;
    EXPECT_EQ(WindowPixels(extra), Frame());
}

TEST_F(X11PresenterTest, ADepth32WindowIsFilledOpaque)
{
    MakeWindow(160, 100, 32);
    if (IsSkipped()) return;
    MakeRenderer(160, 100, true);
    DrawFrame(0);
    uint32_t extra = 0;
    EXPECT_EQ(WindowPixels(extra), Frame());
    EXPECT_EQ(extra, 0xFF000000u) << "the alpha bits of every pixel";
}

TEST_F(X11PresenterTest, AWindowThatIsNotThereIsRefusedNotFatal)
{
    const unsigned long missing = 0x3FFFFFF;
    EXPECT_EQ(OpenX11Presenter(display, missing, 10, 10), nullptr);
    UseX11Presenters(display);
    renderer = cpu::BackEnd.open();
    EXPECT_FALSE(cpu::BackEnd.createDevice(renderer, missing, 10, 10, RendererOptions{}));
    EXPECT_FALSE(cpu::BackEnd.hasDevice(renderer));
    // The connection is still good.
    MakeWindow(10, 10);
    X11Presenter* presenter = OpenX11Presenter(display, window, 10, 10);
    EXPECT_NE(presenter, nullptr);
    CloseX11Presenter(presenter);
}
