// The processor back end's frame at 1920 x 1080: five spots moving as they do every tick over
// each other, and the overlay's four lines; and its blend loops against the literal per-pixel
// rule they must equal.
//   Frame/N:  PresentFrame with N spots (no presenter: the frame stays in memory)
//   Blend/*:  one spot's 256 x 256 pixels, written over black and blended over a frame
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "render/cpu/cpu_blend.h"
#include "render/switch/renderer_back_end.h"

namespace {

constexpr int32_t Width = 1920;
constexpr int32_t Height = 1080;
constexpr int32_t SpotTexels = SpotSize * SpotSize;

std::vector<uint32_t> SpotPicture(uint32_t seed)
{
    std::mt19937 random(seed);
    std::vector<uint32_t> texels(SpotTexels);
    for (uint32_t& t : texels) t = (random() & 0xFF) * 0x01010101u & 0xFF00FFFFu;
    return texels;
}

OverlayFrame FourLines()
{
    OverlayFrame overlay{};
    overlay.lineCount = 4;
    const float tops[4] = {0.0f, 32.0f, 60.0f, 1036.0f};
    for (uint32_t l = 0; l < 4; ++l) {
        OverlayLine& line = overlay.lines[l];
        line.glyphCount = 40;
        for (uint32_t g = 0; g < line.glyphCount; ++g) {
            const float x = 18.5f * static_cast<float>(g);
            line.glyphs[g] = GlyphQuad{x,
                                       tops[l],
                                       x + 18.5f,
                                       tops[l] + 29.0f,
                                       g * 6 / 255.f,
                                       29 / 256.0f,
                                       (g * 6 + 15) / 255.f,
                                       58 / 256.0f};
        }
    }
    return overlay;
}

void BM_Frame(benchmark::State& state)
{
    const auto spots = static_cast<int32_t>(state.range(0));
    Renderer* r = cpu::BackEnd.open();
    cpu::BackEnd.createDevice(r, 0, Width, Height, RendererOptions{});
    std::vector<uint32_t> sheet(FontSheetSide * FontSheetSide, 0xC0CC2222u);
    cpu::BackEnd.loadFontSheet(r, sheet.data());
    for (int32_t k = 0; k < spots; ++k) {
        cpu::BackEnd.createSpotResources(r, k);
        uint8_t* texels = nullptr;
        int32_t pitch = 0;
        cpu::BackEnd.lockSpotTexels(r, k, texels, pitch);
        const std::vector<uint32_t> picture = SpotPicture(static_cast<uint32_t>(k));
        std::memcpy(texels, picture.data(), SpotTexels * 4);
        cpu::BackEnd.unlockSpotTexels(r, k);
    }
    const OverlayFrame overlay = FourLines();
    int32_t step = 0;
    for (auto _ : state) {
        // Ten pixels a tick, as fast spots move; overlapping in the middle of the screen.
        ++step;
        for (int32_t k = 0; k < spots; ++k) {
            SpotPlacement place{};
            place.col0 = 200 + 260 * k + (step * 10 + 37 * k) % 300;
            place.row0 = 300 + (step * 7 + 53 * k) % 400;
            cpu::BackEnd.placeSpot(r, k, place);
        }
        cpu::BackEnd.presentFrame(r, overlay);
    }
    state.SetItemsProcessed(state.iterations());
    cpu::BackEnd.close(r);
}

template <bool OverBlack>
void BM_Blend(benchmark::State& state, bool literal)
{
    const std::vector<uint32_t> texels = SpotPicture(7);
    std::vector<uint32_t> frame(SpotTexels, 0x00406080u);
    for (auto _ : state) {
        if (literal) {
            for (int32_t i = 0; i < SpotTexels; ++i) {
                frame[i] = cpu::BlendPixel(texels[i], OverBlack ? 0 : frame[i]);
            }
        } else if (OverBlack) {
            cpu::WriteOverBlack(texels.data(), frame.data(), SpotTexels);
        } else {
            cpu::BlendOver(texels.data(), frame.data(), SpotTexels);
        }
        benchmark::DoNotOptimize(frame.data());
    }
    state.SetItemsProcessed(state.iterations() * SpotTexels);
}

void BM_OverBlack(benchmark::State& state, bool literal)
{
    BM_Blend<true>(state, literal);
}

void BM_OverFrame(benchmark::State& state, bool literal)
{
    BM_Blend<false>(state, literal);
}

}  // namespace

BENCHMARK(BM_Frame)->Name("Frame")->Arg(1)->Arg(5)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_OverBlack, literal, true)->Name("Blend/over-black/literal");
BENCHMARK_CAPTURE(BM_OverBlack, kernel, false)->Name("Blend/over-black");
BENCHMARK_CAPTURE(BM_OverFrame, literal, true)->Name("Blend/over-frame/literal");
BENCHMARK_CAPTURE(BM_OverFrame, kernel, false)->Name("Blend/over-frame");
