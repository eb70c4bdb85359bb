// The OpenGL renderer on whatever EGL serves (Mesa's llvmpipe without a GPU): frames read back
// and held pixel by pixel to the same blending done literally; once into an X11 window.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "render/switch/renderer_back_end.h"
#include "support/posix/loaded_libraries.h"

// After the test framework, whose names Xlib's macros would replace.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

const RendererBackEnd& Gl = gl::BackEnd;
using Argb = std::array<double, 4>;

uint32_t Hash(uint32_t x)
{
    x = (x ^ (x >> 16)) * 0x7feb352du;
    x = (x ^ (x >> 15)) * 0x846ca68bu;
    return x ^ (x >> 16);
}

struct Frame {
    int32_t width, height;
};

// Spots 0 and 1 overlap, spot 2 stands wholly off the frame.
SpotPlacement Place(const Frame& f, int32_t spot, int32_t seed)
{
    const int32_t col0[] = {f.width - 200 + 17 * seed, f.width / 3 - 100, f.width + 5};
    const int32_t row0[] = {-60, f.height / 2 - 128 - 9 * seed, 0};
    return SpotPlacement{0, 0, 0.0f, 0.0f, row0[spot], col0[spot]};
}

// Two lines, the second hanging off the bottom; one glyph's rows wrap past the sheet's end.
// Edges fall between pixel centres, so that which pixels a quad covers is never a tie.
OverlayFrame Overlay(const Frame& f)
{
    OverlayFrame overlay{2, {}};
    for (uint32_t i = 0; i < overlay.lineCount; ++i) {
        OverlayLine& line = overlay.lines[i] = OverlayLine{12, {}};
        for (int32_t j = 0; j < 12; ++j) {
            const float x = -2.75f + 13.5f * j, y = i == 0 ? 2.25f : f.height - 12.25f;
            const float l = 37 * j % 230, t = 39 * (j % 7), r = l + 9 + j % 4;
            line.glyphs[j] = {x,       y,       x + 13.5f, y + 21.5f,
                              l / 255, t / 256, r / 255,   (t + 39) / 256};
        }
    }
    return overlay;
}

void Draw(Renderer* r, const Frame& f, int32_t seed)
{
    for (int32_t k = 0; k < 3; ++k) {
        uint8_t* texels = nullptr;
        int32_t pitch = 0;
        Gl.placeSpot(r, k, Place(f, k, seed));
        ASSERT_TRUE(Gl.lockSpotTexels(r, k, texels, pitch));
        for (int32_t i = 0; i < 256 * 256; ++i) {
            const uint32_t texel = Hash(((k * 2 + seed) << 16) + i);
            std::memcpy(texels + i / 256 * pitch + i % 256 * 4, &texel, 4);
        }
        Gl.unlockSpotTexels(r, k);
    }
    Gl.presentFrame(r, Overlay(f));
}

// Font sheet texels as the Windows build keeps them, four bits a channel.
Argb Unpack(uint32_t texel, bool fourBits = false)
{
    Argb argb;
    for (int ch = 0; ch < 4; ++ch) argb[ch] = (texel >> (24 - 8 * ch)) & 255;
    for (double& c : argb) c = fourBits ? (int(c) >> 4) * 17 : c;
    return argb;
}

// The sheet sampled bilinearly as texture coordinates address it, wrapping around.
Argb Sample(double u, double v)
{
    const double s = u * 256 - 0.5, t = v * 256 - 0.5;
    const auto c0 = static_cast<int32_t>(std::floor(s)), r0 = static_cast<int32_t>(std::floor(t));
    Argb argb{};
    for (int i = 0; i < 4; ++i) {
        const double weight = std::abs((1 - i % 2 - (s - c0)) * (1 - i / 2 - (t - r0)));
        const Argb texel =
            Unpack(Hash(0x5EE70000 + ((r0 + i / 2) & 255) * 256 + ((c0 + i % 2) & 255)), true);
        for (int ch = 0; ch < 4; ++ch) argb[ch] += weight * texel[ch];
    }
    return argb;
}

// Blends colour(x, y) into want (red, green, blue, tolerance) where the rectangle covers (x, y).
template <typename Colour>
void Paint(const Frame& f, std::vector<double>& want, double x0, double y0, double x1, double y1,
           double tolerance, Colour colour)
{
    for (auto y = static_cast<int32_t>(std::ceil(y0)); y < y1; ++y) {
        for (auto x = static_cast<int32_t>(std::ceil(x0)); x < x1; ++x) {
            if (x < 0 || y < 0 || x >= f.width || y >= f.height) continue;
            const Argb argb = colour(x, y);
            double* pixel = &want[4 * (y * f.width + x)];
            for (int ch = 0; ch < 3; ++ch) pixel[ch] += (argb[ch + 1] - pixel[ch]) * argb[0] / 255;
            pixel[3] = std::max(pixel[3], tolerance);
        }
    }
}

// Pixels (red, green, blue, alpha; from X blue, green, red) against the picture worked out here.
void ExpectFrame(const Frame& f, int32_t seed, const uint8_t* pixels, int32_t pitch,
                 bool fromX = false)
{
    std::vector<double> want(4 * f.width * f.height, 0.0);
    for (int32_t k = 0; k < 3; ++k) {
        const SpotPlacement p = Place(f, k, seed);
        Paint(f, want, p.col0, p.row0, p.col0 + 256, p.row0 + 256, 2, [&](int32_t x, int32_t y) {
            return Unpack(Hash(((k * 2 + seed) << 16) + (y - p.row0) * 256 + x - p.col0));
        });
    }
    const OverlayFrame overlay = Overlay(f);
    for (const OverlayLine& line : overlay.lines) {
        for (const GlyphQuad& g : line.glyphs) {
            Paint(f, want, g.x0, g.y0, g.x1, g.y1, 5, [&](int32_t x, int32_t y) {
                return Sample(g.u0 + (x - g.x0) / (g.x1 - g.x0) * (g.u1 - g.u0),
                              g.v0 + (y - g.y0) / (g.y1 - g.y0) * (g.v1 - g.v0));
            });
        }
    }
    for (int32_t i = 0; i < f.width * f.height; ++i) {
        const uint8_t* got = pixels + i / f.width * pitch + i % f.width * 4;
        double error = got[3] == 255 || fromX ? 0 : 255;
        for (int ch = 0; ch < 3; ++ch) {
            error = std::max(error, std::abs(got[fromX ? 2 - ch : ch] - want[4 * i + ch]));
        }
        if (error > want[4 * i + 3]) {
            return ADD_FAILURE() << f.width << "x" << f.height << " seed " << seed << ": pixel "
                                 << i % f.width << ", " << i / f.width << " off by " << error;
        }
    }
}

// A renderer with a device, spots 0 to 2 and a font sheet of every texel value; null without.
Renderer* OpenWithScene(NativeWindow window, int32_t width, int32_t height)
{
    std::vector<uint32_t> sheet(256 * 256);
    for (int32_t i = 0; i < 256 * 256; ++i) sheet[i] = Hash(0x5EE70000 + i);
    Renderer* r = Gl.open();
    const bool made = Gl.createDevice(r, window, width, height, RendererOptions{}) &&
                      Gl.createSpotResources(r, 0) && Gl.createSpotResources(r, 1) &&
                      Gl.createSpotResources(r, 2) && Gl.loadFontSheet(r, sheet.data());
    KeepLoadedLibraries();
    if (!made) Gl.close(r);
    return made ? r : nullptr;
}

// Made on its side, resized upright; two frames, the second read at a pitch no multiple of 4.
TEST(GlRenderer, FramesBlendSpotsThenGlyphsAsWorkedOutLiterally)
{
    const Frame cases[] = {{640, 480}, {300, 200}, {200, 700}, {1, 1}, {333, 251}};
    for (const Frame& f : cases) {
        Renderer* r = OpenWithScene(0, f.height, f.width);
        ASSERT_TRUE(r != nullptr && Gl.resize(r, f.width, f.height)) << "no OpenGL 3.3 core";
        int32_t width = 0, height = 0;
        Gl.getFrameSize(r, width, height);
        ASSERT_TRUE(width == f.width && height == f.height);
        for (int32_t seed = 0; seed < 2; ++seed) {
            const int32_t pitch = 4 * width + 3 * seed;
            std::vector<uint8_t> pixels(pitch * height);
            Draw(r, f, seed);
            ASSERT_TRUE(Gl.readFrame(r, pixels.data(), pitch));
            ExpectFrame(f, seed, pixels.data(), pitch);
        }
        Gl.close(r);
    }
}

// Refused or ignored: everything without a renderer or a device, sizes of nothing, spots out of
// range, a null sheet, an overlay claiming too much, a short pitch; releasing twice.
TEST(GlRenderer, BadInputHasBoundedOutcomes)
{
    uint8_t* texels = nullptr;
    int32_t pitch = 0, width = 0, height = 0;
    uint8_t pixels[4 * 8 * 8];
    const uint32_t sheet[256 * 256] = {};
    OverlayFrame overlay{1000, {}};
    for (OverlayLine& line : overlay.lines) line = OverlayLine{1000, {{0, 0, NAN, 3, 0, 0, 1, 1}}};
    Renderer* opened = Gl.open();
    KeepLoadedLibraries();
    for (Renderer* r : {static_cast<Renderer*>(nullptr), opened}) {
        EXPECT_FALSE(Gl.recreateDevice(r) || Gl.createDevice(r, 0, 0, 0, {}) ||
                     Gl.createDevice(r, 0, -4, 8, {}) || Gl.createDevice(r, 12345, 8, 8, {}) ||
                     Gl.hasDevice(r) || Gl.createSpotResources(r, 0) ||
                     Gl.loadFontSheet(r, sheet) || Gl.resize(r, 8, 8) ||
                     Gl.readFrame(r, pixels, 32));
        Gl.presentFrame(r, overlay);
        if (r == nullptr) continue;
        ASSERT_TRUE(Gl.createDevice(r, 0, 8, 8, {}));
        EXPECT_FALSE(Gl.readFrame(r, pixels, 32) || Gl.createSpotResources(r, -1) ||
                     Gl.createSpotResources(r, LightSpotCount) || Gl.loadFontSheet(r, nullptr) ||
                     Gl.lockSpotTexels(r, 0, texels, pitch) || Gl.resize(r, 1 << 30, 8));
        ASSERT_TRUE(Gl.createSpotResources(r, 0) && Gl.loadFontSheet(r, sheet));
        Gl.presentFrame(r, overlay);
        EXPECT_TRUE(!Gl.readFrame(r, pixels, 31) && Gl.readFrame(r, pixels, 32));
        for (int twice = 0; twice < 2; ++twice) Gl.releaseSceneResources(r), Gl.releaseDevice(r);
        Gl.getFrameSize(r, width, height);
        EXPECT_FALSE(width || height || Gl.hasDevice(r) || Gl.lockSpotTexels(r, 0, texels, pitch));
        EXPECT_TRUE(Gl.recreateDevice(r));
        Gl.getFrameSize(r, width, height);
        EXPECT_TRUE(width == 8 && height == 8);
        Gl.close(r);
    }
}

// A private virtual X server on a free display number, ended by its process id.
struct Xvfb {
    FILE* out = popen("Xvfb -displayfd 1 -noreset -nolisten tcp 2>/dev/null & echo $!; wait", "r");
    int pid = 0, number = 0;
    bool started = out != nullptr && fscanf(out, "%d %d", &pid, &number) == 2;
    ~Xvfb()
    {
        if (pid > 0) kill(pid, SIGTERM);
        if (out != nullptr) pclose(out);
    }
};

TEST(GlRendererWindow, TheFrameShowsUprightInTheWindow)
{
    const Xvfb server;
    Display* display =
        server.started ? XOpenDisplay((":" + std::to_string(server.number)).c_str()) : nullptr;
    if (display == nullptr) GTEST_SKIP() << "no Xvfb";
    const Window window =
        XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 320, 240, 0, 0, 0);
    XMapWindow(display, window);
    gl::SetNativeDisplay(NativeDisplay{NativeDisplayKind::X11, display});
    Renderer* r = OpenWithScene(window, 320, 240);
    ASSERT_NE(r, nullptr);
    Draw(r, Frame{320, 240}, 0);
    XImage* image = XGetImage(display, window, 0, 0, 320, 240, AllPlanes, ZPixmap);
    ASSERT_TRUE(image != nullptr && image->bits_per_pixel == 32 && image->byte_order == LSBFirst);
    ExpectFrame(Frame{320, 240}, 0, reinterpret_cast<uint8_t*>(image->data), image->bytes_per_line,
                true);
    XDestroyImage(image);
    Gl.close(r);
    gl::SetNativeDisplay(NativeDisplay{});
    XCloseDisplay(display);
}

}  // namespace
