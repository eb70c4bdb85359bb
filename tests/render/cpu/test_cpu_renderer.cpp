// The processor back end against a literal composition of the same frame: every pixel, over
// sizes that cut the spots at the edges, frame after frame as the spots move (what the last
// frame drew must be gone), with the presented rectangles covering every pixel that changed.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "render/cpu/cpu_blend.h"
#include "render/cpu/cpu_device.h"
#include "render/switch/renderer_back_end.h"

namespace {

constexpr uint32_t SheetColor = 0x80CC2222u;  // one colour: bilinear sampling gives it exactly

struct Spot {
    int32_t col0;
    int32_t row0;
};

std::vector<uint32_t> Texels(int32_t k)
{
    std::mt19937 random(static_cast<uint32_t>(k) + 1);
    std::vector<uint32_t> texels(SpotSize * SpotSize);
    for (uint32_t& t : texels) t = (random() & 0xFF) * 0x01010101u & 0xFF00FFFFu;
    return texels;
}

OverlayFrame OneLine(int32_t top)
{
    OverlayFrame overlay{};
    overlay.lineCount = 1;
    overlay.lines[0].glyphCount = 3;
    for (uint32_t g = 0; g < 3; ++g) {
        const float x = 2.5f + 11.25f * static_cast<float>(g);
        overlay.lines[0].glyphs[g] = GlyphQuad{x,          static_cast<float>(top) + 0.5f,
                                               x + 11.25f, static_cast<float>(top) + 9.7f,
                                               0.1f,       0.1f,
                                               0.2f,       0.2f};
    }
    return overlay;
}

// Black, the spots in order, the glyphs: pixel (x, y) belongs to a quad when x0 <= x < x1.
std::vector<uint32_t> Reference(int32_t width, int32_t height, const std::vector<Spot>& spots,
                                const OverlayFrame& overlay)
{
    std::vector<uint32_t> frame(static_cast<size_t>(width) * height, 0);
    for (size_t k = 0; k < spots.size(); ++k) {
        const std::vector<uint32_t> texels = Texels(static_cast<int32_t>(k));
        for (int32_t t = 0; t < SpotSize; ++t) {
            for (int32_t c = 0; c < SpotSize; ++c) {
                const int32_t x = spots[k].col0 + c;
                const int32_t y = spots[k].row0 + t;
                if (x < 0 || y < 0 || x >= width || y >= height) continue;
                uint32_t& p = frame[static_cast<size_t>(y) * width + x];
                p = cpu::BlendPixel(texels[t * SpotSize + c], p);
            }
        }
    }
    for (uint32_t g = 0; g < overlay.lines[0].glyphCount; ++g) {
        const GlyphQuad& q = overlay.lines[0].glyphs[g];
        for (int32_t y = 0; y < height; ++y) {
            for (int32_t x = 0; x < width; ++x) {
                if (q.x0 <= x && x < q.x1 && q.y0 <= y && y < q.y1) {
                    uint32_t& p = frame[static_cast<size_t>(y) * width + x];
                    p = cpu::BlendPixel(SheetColor, p);
                }
            }
        }
    }
    return frame;
}

std::vector<uint32_t> Presented(Renderer* r, int32_t width, int32_t height)
{
    std::vector<uint8_t> rgba(static_cast<size_t>(width) * height * 4);
    EXPECT_TRUE(cpu::BackEnd.readFrame(r, rgba.data(), 4 * width));
    std::vector<uint32_t> frame(static_cast<size_t>(width) * height);
    for (size_t i = 0; i < frame.size(); ++i) {
        frame[i] = uint32_t{rgba[4 * i]} << 16 | uint32_t{rgba[4 * i + 1]} << 8 | rgba[4 * i + 2];
    }
    return frame;
}

// The top byte of a frame pixel means nothing.
void ExpectSameFrame(const std::vector<uint32_t>& got, const std::vector<uint32_t>& want,
                     int32_t width, const char* what)
{
    for (size_t i = 0; i < want.size(); ++i) {
        if ((got[i] & 0xFFFFFF) != (want[i] & 0xFFFFFF)) {
            ADD_FAILURE() << what << ": pixel (" << i % width << ", " << i / width << ") is "
                          << std::hex << got[i] << ", not " << want[i];
            return;
        }
    }
}

struct SizeCase {
    int32_t width;
    int32_t height;
};

// A window's presenter that only keeps the rectangles it is asked to show.
std::vector<cpu::PixelRect> Shown;

bool OpenRecorder(void*, NativeWindow, int32_t, int32_t, cpu::Presenter& presenter)
{
    presenter = cpu::Presenter{nullptr,
                               [](void*, const uint32_t*, int32_t, int32_t, int32_t,
                                  const cpu::PixelRect* rects, uint32_t count) {
                                   Shown.assign(rects, rects + count);
                                   return true;
                               },
                               [](void*, int32_t, int32_t) { return true; }, [](void*) {}, nullptr};
    return true;
}

class CpuRendererFrames : public ::testing::TestWithParam<SizeCase> {};

TEST_P(CpuRendererFrames, EqualTheLiteralCompositionAsTheSpotsMove)
{
    const auto [width, height] = GetParam();
    cpu::SetPresenterOpener(OpenRecorder, nullptr);
    Renderer* r = cpu::BackEnd.open();
    ASSERT_TRUE(cpu::BackEnd.createDevice(r, 77, width, height, RendererOptions{}));
    cpu::SetPresenterOpener(nullptr, nullptr);
    const std::vector<uint32_t> sheet(FontSheetSide * FontSheetSide, SheetColor);
    ASSERT_TRUE(cpu::BackEnd.loadFontSheet(r, sheet.data()));
    for (int32_t k = 0; k < 3; ++k) {
        ASSERT_TRUE(cpu::BackEnd.createSpotResources(r, k));
        uint8_t* texels = nullptr;
        int32_t pitch = 0;
        ASSERT_TRUE(cpu::BackEnd.lockSpotTexels(r, k, texels, pitch));
        ASSERT_GE(pitch, SpotSize * 4);
        const std::vector<uint32_t> picture = Texels(k);
        for (int32_t t = 0; t < SpotSize; ++t) {
            std::memcpy(texels + t * pitch, picture.data() + t * SpotSize, SpotSize * 4);
        }
        cpu::BackEnd.unlockSpotTexels(r, k);
    }
    // Overlapping, hanging over every edge in turn, then far apart (twice: the line, moved,
    // then left alone with no spot near it).
    const std::vector<std::vector<Spot>> moves = {
        {{10, 5}, {100, 60}, {-40, -30}},
        {{width - 100, height - 90}, {12, 9}, {30, 20}},
        {{-300, 0}, {width / 2 - 128, height / 2 - 128}, {width - 3, 4}},
        {{-300, 0}, {width / 2 - 128, height / 2 - 128}, {width - 3, 4}},
    };
    const int32_t lineTops[] = {0, 0, 3, 3};
    std::vector<uint32_t> last(static_cast<size_t>(width) * height, 0);
    for (size_t m = 0; m < moves.size(); ++m) {
        for (int32_t k = 0; k < 3; ++k) {
            SpotPlacement place{};
            place.col0 = moves[m][k].col0;
            place.row0 = moves[m][k].row0;
            cpu::BackEnd.placeSpot(r, k, place);
        }
        const OverlayFrame overlay = OneLine(lineTops[m]);
        cpu::BackEnd.presentFrame(r, overlay);
        const std::vector<uint32_t> frame = Presented(r, width, height);
        ExpectSameFrame(frame, Reference(width, height, moves[m], overlay), width, "frame");

        for (size_t i = 0; i < frame.size(); ++i) {
            if (frame[i] == last[i]) continue;
            const auto x = static_cast<int32_t>(i % width);
            const auto y = static_cast<int32_t>(i / width);
            bool shown = false;
            for (const cpu::PixelRect& s : Shown) {
                shown = shown || (s.left <= x && x < s.right && s.top <= y && y < s.bottom);
            }
            ASSERT_TRUE(shown) << "changed pixel (" << x << ", " << y << ") not presented";
        }
        last = frame;
    }
    // A new size starts black and draws the next frame whole.
    ASSERT_TRUE(cpu::BackEnd.resize(r, width + 7, height + 3));
    cpu::BackEnd.presentFrame(r, OverlayFrame{});
    ExpectSameFrame(Presented(r, width + 7, height + 3),
                    Reference(width + 7, height + 3, {}, OverlayFrame{}), width + 7, "resized");
    cpu::BackEnd.close(r);
}

INSTANTIATE_TEST_SUITE_P(Sizes, CpuRendererFrames,
                         ::testing::Values(SizeCase{641, 479}, SizeCase{200, 150},
                                           SizeCase{300, 700}, SizeCase{1, 1}));

TEST(CpuBlend, SpanLoopsEqualThePixelRuleAtEveryLengthAndAlignment)
{
    std::mt19937 random(5);
    for (int32_t length = 0; length < 40; ++length) {
        for (int32_t offset = 0; offset < 3; ++offset) {
            std::vector<uint32_t> source(64);
            std::vector<uint32_t> frame(64);
            for (uint32_t& s : source) s = random();
            for (uint32_t& f : frame) f = random();
            std::vector<uint32_t> written = frame;
            std::vector<uint32_t> blended = frame;
            cpu::WriteOverBlack(source.data() + offset, written.data() + offset, length);
            cpu::BlendOver(source.data() + offset, blended.data() + offset, length);
            for (int32_t i = 0; i < 64; ++i) {
                const bool inside = i >= offset && i < offset + length;
                EXPECT_EQ(written[i], inside ? cpu::BlendPixel(source[i], 0) : frame[i]);
                EXPECT_EQ(blended[i], inside ? cpu::BlendPixel(source[i], frame[i]) : frame[i]);
            }
        }
    }
    // The rule's ends: opaque replaces, transparent keeps, and halves round to nearest.
    EXPECT_EQ(cpu::BlendPixel(0xFF123456u, 0x00ABCDEFu) & 0xFFFFFF, 0x123456u);
    EXPECT_EQ(cpu::BlendPixel(0x00123456u, 0x00ABCDEFu) & 0xFFFFFF, 0xABCDEFu);
    EXPECT_EQ(cpu::BlendPixel(0x80FF0000u, 0) & 0xFF0000, 0x800000u);
}

TEST(CpuRenderer, BadSizesAndCallsHaveBoundedOutcomes)
{
    Renderer* r = cpu::BackEnd.open();
    EXPECT_FALSE(cpu::BackEnd.createDevice(r, 0, 20000, 10, RendererOptions{}));
    EXPECT_FALSE(cpu::BackEnd.createDevice(r, 0, -1, 10, RendererOptions{}));
    // No presenter registered: a window cannot be shown.
    EXPECT_FALSE(cpu::BackEnd.createDevice(r, 77, 10, 10, RendererOptions{}));
    ASSERT_TRUE(cpu::BackEnd.createDevice(r, 0, 0, 0, RendererOptions{}));
    EXPECT_TRUE(cpu::BackEnd.createSpotResources(r, 0));
    EXPECT_FALSE(cpu::BackEnd.createSpotResources(r, 5));
    EXPECT_FALSE(cpu::BackEnd.createSpotResources(r, -1));
    uint8_t* texels = nullptr;
    int32_t pitch = 0;
    EXPECT_FALSE(cpu::BackEnd.lockSpotTexels(r, 1, texels, pitch));
    cpu::BackEnd.presentFrame(r, OneLine(0));  // nothing to draw into
    uint8_t pixel[4];
    EXPECT_FALSE(cpu::BackEnd.readFrame(r, pixel, 4));
    EXPECT_FALSE(cpu::BackEnd.resize(r, 0, 5));
    cpu::BackEnd.close(r);
}

}  // namespace
