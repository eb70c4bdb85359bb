// The light spots' texel fill at 1920 x 1080 over the normal field of a synthetic desktop:
// one spot with each kernel against the literal fill, and a whole five-spot tick (movement,
// placements, texture fills) over the fake renderer.
// After the run a summary gives nanoseconds per texel (best of the repetitions) and each
// kernel's speed-up over the literal fill, all measured in the same run.
#include <benchmark/benchmark.h>
#include <immintrin.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "fake_clock.h"
#include "fake_renderer.h"
#include "render/device_lifecycle.h"
#include "render/frame_clock.h"
#include "render/frame_loop.h"
#include "render/light_spots.h"
#include "render/reference_fill.h"
#include "render/saver_run.h"
#include "render/scene.h"
#include "settings/settings.h"
#include "support/heap.h"
#include "surface/falloff_table.h"
#include "surface/height_field.h"
#include "surface/normal_field.h"

namespace {

constexpr int32_t ScreenWidth = 1920;
constexpr int32_t ScreenHeight = 1080;
constexpr int64_t SpotTexels = 256 * 256;

// A deterministic stand-in for a desktop: wallpaper, icons with captions, overlapping windows
// with title bars, text and buttons, and a task bar. 24-bit BGR, bottom row first, rows
// padded to 4 bytes, as the capture delivers it.
class DesktopPicture {
public:
    DesktopPicture(int32_t width, int32_t height)
        : width_(width), height_(height), stride_((3 * width + 3) & ~3),
          pixels_(static_cast<size_t>(stride_) * height)
    {
        for (int32_t y = 0; y < height; ++y) {
            for (int32_t x = 0; x < width; ++x) {
                const int32_t wave = ((x + 2 * y) / 9 % 7) * 3;
                Set(x, y, 40 + x * 60 / width + wave, 70 + y * 50 / height, 120 + wave);
            }
        }
        for (int32_t k = 0; k < 9; ++k) Icon(24, 24 + k * 96);
        Window(260, 90, 900, 620, 0xC06020);
        Window(700, 260, 980, 560, 0x3070C0);
        Window(1240, 120, 560, 420, 0x408040);
        Window(1120, 600, 700, 360, 0x905090);
        Fill(0, height - 44, width, 44, 30, 30, 36);  // task bar
        for (int32_t k = 0; k < 7; ++k) {
            Fill(60 + k * 170, height - 38, 160, 32, 70, 70, 80);
            Text(72 + k * 170, height - 28, 110, 240);
        }
        Text(width - 120, height - 28, 90, 240);  // the clock
    }

    const uint8_t* Pixels() const { return pixels_.data(); }

private:
    void Set(int32_t x, int32_t y, int r, int g, int b)
    {
        if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
        uint8_t* p = &pixels_[static_cast<size_t>(height_ - 1 - y) * stride_ + 3 * x];
        p[0] = static_cast<uint8_t>(b);
        p[1] = static_cast<uint8_t>(g);
        p[2] = static_cast<uint8_t>(r);
    }

    void Fill(int32_t x0, int32_t y0, int32_t w, int32_t h, int r, int g, int b)
    {
        for (int32_t y = y0; y < y0 + h; ++y) {
            for (int32_t x = x0; x < x0 + w; ++x) Set(x, y, r, g, b);
        }
    }

    uint32_t Next()
    {
        seed_ = seed_ * 1664525u + 1013904223u;
        return seed_ >> 8;
    }

    // Words of glyph-like strokes, 7 x 11 cells, in one grey level.
    void Text(int32_t x0, int32_t y0, int32_t width, int grey)
    {
        int32_t x = x0;
        while (x < x0 + width - 8) {
            const int32_t letters = 2 + static_cast<int32_t>(Next() % 7);
            for (int32_t l = 0; l < letters && x < x0 + width - 8; ++l, x += 8) {
                const uint32_t shape = Next();
                if (shape & 1) Fill(x, y0, 1, 11, grey, grey, grey);
                if (shape & 2) Fill(x + 5, y0 + 3, 1, 8, grey, grey, grey);
                if (shape & 4) Fill(x, y0 + 3, 6, 1, grey, grey, grey);
                if (shape & 8) Fill(x, y0 + 10, 6, 1, grey, grey, grey);
                if (shape & 16) Fill(x + 2, y0 + 6, 3, 1, grey, grey, grey);
                if (shape & 32) Fill(x + 3, y0, 1, 11, grey, grey, grey);
            }
            x += 6;
        }
    }

    void Icon(int32_t x0, int32_t y0)
    {
        Fill(x0 + 8, y0, 48, 48, 230, 200, 90);
        Fill(x0 + 14, y0 + 8, 36, 6, 90, 60, 20);
        Fill(x0 + 14, y0 + 22, 28, 4, 250, 250, 250);
        Text(x0, y0 + 56, 64, 250);
    }

    void Window(int32_t x0, int32_t y0, int32_t w, int32_t h, uint32_t title)
    {
        Fill(x0 - 1, y0 - 1, w + 2, h + 2, 60, 60, 60);  // border
        Fill(x0, y0, w, h, 245, 245, 245);
        const int r = static_cast<int>(title >> 16), g = static_cast<int>((title >> 8) & 0xFF),
                  b = static_cast<int>(title & 0xFF);
        Fill(x0, y0, w, 30, r, g, b);
        Text(x0 + 10, y0 + 10, w / 3, 255);
        for (int32_t k = 0; k < 3; ++k) Fill(x0 + w - 30 - 34 * k, y0 + 6, 24, 18, 220, 220, 220);
        Fill(x0, y0 + 30, w, 26, 225, 225, 230);  // menu bar
        Text(x0 + 10, y0 + 38, w / 2, 30);
        for (int32_t y = y0 + 70; y < y0 + h - 60; y += 18) Text(x0 + 16, y, w - 40, 20);
        Fill(x0 + w - 120, y0 + h - 44, 100, 30, 200, 200, 205);  // a button
        Text(x0 + w - 108, y0 + h - 34, 70, 10);
    }

    int32_t width_;
    int32_t height_;
    int32_t stride_;
    std::vector<uint8_t> pixels_;
    uint32_t seed_ = 12345;
};

// The surface of the synthetic desktop, built once for every benchmark.
struct Surface {
    std::vector<uint8_t> heights;
    std::vector<Vec3> normals;
    std::vector<Vec3> falloff;

    Surface()
        : heights(static_cast<size_t>(ScreenWidth) * ScreenHeight),
          normals(static_cast<size_t>(ScreenWidth) * ScreenHeight), falloff(FalloffTableEntries)
    {
        const DesktopPicture picture(ScreenWidth, ScreenHeight);
        HeightFieldFromSnapshot(picture.Pixels(), ScreenWidth, ScreenHeight, heights.data());
        BuildNormalField(heights.data(), ScreenWidth, ScreenHeight, normals.data());
        BuildFalloffTable(falloff.data());
    }
};

const Surface& TheSurface()
{
    static const Surface surface;
    return surface;
}

// A window over the first window's title bar and text.
constexpr int32_t SpotRow = 60;
constexpr int32_t SpotCol = 300;

void ReportTexels(benchmark::State& state, int64_t texelsPerIteration)
{
    const double texels = static_cast<double>(state.iterations()) * texelsPerIteration;
    state.SetItemsProcessed(static_cast<int64_t>(texels));
    // Inverted rate of texels * 1e-9: nanoseconds per texel.
    state.counters["ns_per_texel"] =
        benchmark::Counter(texels * 1e-9,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_FillSpotLiteral(benchmark::State& state)
{
    const Surface& s = TheSurface();
    std::vector<uint8_t> texels(256 * 1024);
    for (auto _ : state) {
        ReferenceFillSpotTexture(s.normals.data(), ScreenWidth, SpotRow, SpotCol, s.falloff.data(),
                                 0xFF00FFFFu, texels.data(), 1024);
        benchmark::DoNotOptimize(texels.data());
        benchmark::ClobberMemory();
    }
    ReportTexels(state, SpotTexels);
}

void BM_FillSpotKernel(benchmark::State& state, SpotFillKernel kernel)
{
    if (!SpotFillKernelAvailable(kernel)) {
        state.SkipWithError("this processor lacks the kernel's instructions");
        return;
    }
    const Surface& s = TheSurface();
    std::vector<uint8_t> texels(256 * 1024);
    for (auto _ : state) {
        FillSpotTextureWith(kernel, s.normals.data(), ScreenWidth, SpotRow, SpotCol,
                            s.falloff.data(), 0xFF00FFFFu, texels.data(), 1024);
        benchmark::DoNotOptimize(texels.data());
        benchmark::ClobberMemory();
    }
    ReportTexels(state, SpotTexels);
}

// The whole update of a five-spot tick as the saver runs it: the clock, the motion, five
// placements and five fills into the renderer's texel memory. Drawing is left out.
void BM_FiveSpotTick(benchmark::State& state)
{
    const Surface& s = TheSurface();
    ResetFakeRenderer();
    SaverRun run;
    run.surface.DesktopWidth = ScreenWidth;
    run.surface.DesktopHeight = ScreenHeight;
    run.surface.DesktopPixelCount = static_cast<uint32_t>(s.heights.size());
    run.surface.HeightField = static_cast<uint8_t*>(AllocateZeroed(s.heights.size()));
    std::copy(s.heights.begin(), s.heights.end(), run.surface.HeightField);
    run.Settings.NumLights = 4;
    run.Settings.ColorLight = ColorLightRandom;
    CreateRenderDevice(run, 1, 0);
    SetupScene(run);
    FakeClock.stepPerRead = 28;  // 28 ms at the fake's 1000 counts a second
    for (auto _ : state) {
        UpdateFrame(run);
        benchmark::ClobberMemory();
    }
    ReportTexels(state, 5 * SpotTexels);
    ReleaseSceneResources(run);
    ShutDownRenderer(run);
}

// The five fills of a tick alone, at the windows the spots stand over after the tick benchmark's
// setup, into five buffers of their own: what UpdateFrame costs beyond this is the motion and
// the fake renderer's calls.
void BM_FiveSpotFills(benchmark::State& state)
{
    const Surface& s = TheSurface();
    float worldWidth, worldHeight, extent;
    FitWorldToScreen(ScreenWidth, ScreenHeight, worldWidth, worldHeight, extent);
    SpotPlacement places[LightSpotCount];
    for (int k = 0; k < LightSpotCount; ++k) {
        const LightSpot& spot = SceneState{}.LightSpots[k];
        places[k] = PlaceLightSpot(static_cast<float>(k) * 25.0f, spot.freqX, spot.freqY,
                                   ScreenWidth, ScreenHeight, worldWidth, worldHeight, extent);
    }
    std::vector<uint8_t> texels(LightSpotCount * 256 * 1024);
    for (auto _ : state) {
        for (int k = 0; k < LightSpotCount; ++k) {
            FillSpotTexture(s.normals.data(), ScreenWidth, places[k].row0, places[k].col0,
                            s.falloff.data(), 0xFFFFFFFFu, texels.data() + k * 256 * 1024, 1024);
        }
        benchmark::DoNotOptimize(texels.data());
        benchmark::ClobberMemory();
    }
    ReportTexels(state, LightSpotCount * SpotTexels);
}

// Streams the same bytes as a fill (the window's normals and the table in, the texels out)
// with next to no arithmetic: the floor that memory puts under any fill.
__attribute__((target("avx2"))) void BM_MemoryFloor(benchmark::State& state)
{
    if (!__builtin_cpu_supports("avx2")) {
        state.SkipWithError("needs AVX2");
        return;
    }
    const Surface& s = TheSurface();
    std::vector<uint8_t> texels(256 * 1024);
    for (auto _ : state) {
        for (int32_t t = 0; t < 256; ++t) {
            const auto* n = reinterpret_cast<const __m256i*>(
                &s.normals[static_cast<size_t>(SpotRow + t) * ScreenWidth + SpotCol]);
            const auto* f = reinterpret_cast<const __m256i*>(&s.falloff[t * 256]);
            auto* out = reinterpret_cast<__m256i*>(texels.data() + t * 1024);
            for (int32_t i = 0; i < 96; i += 3) {
                const __m256i a =
                    _mm256_or_si256(_mm256_loadu_si256(n + i), _mm256_loadu_si256(n + i + 1));
                const __m256i b =
                    _mm256_or_si256(_mm256_loadu_si256(n + i + 2), _mm256_loadu_si256(f + i));
                const __m256i c =
                    _mm256_or_si256(_mm256_loadu_si256(f + i + 1), _mm256_loadu_si256(f + i + 2));
                _mm256_storeu_si256(out + i / 3, _mm256_or_si256(a, _mm256_or_si256(b, c)));
            }
        }
        benchmark::DoNotOptimize(texels.data());
        benchmark::ClobberMemory();
    }
    ReportTexels(state, SpotTexels);
}

// The machine is shared: each figure is the best of several repetitions.
double Fastest(const std::vector<double>& values)
{
    return *std::min_element(values.begin(), values.end());
}

void Configure(benchmark::internal::Benchmark* b)
{
    b->Repetitions(7)->ComputeStatistics("min", Fastest)->DisplayAggregatesOnly(true);
}

BENCHMARK(BM_FillSpotLiteral)->Name("FillSpot/literal")->Apply(Configure);
BENCHMARK_CAPTURE(BM_FillSpotKernel, portable, SpotFillKernel::Portable)
    ->Name("FillSpot/portable")
    ->Apply(Configure);
BENCHMARK_CAPTURE(BM_FillSpotKernel, sse2, SpotFillKernel::Sse2)
    ->Name("FillSpot/sse2")
    ->Apply(Configure);
BENCHMARK_CAPTURE(BM_FillSpotKernel, avx2, SpotFillKernel::Avx2)
    ->Name("FillSpot/avx2")
    ->Apply(Configure);
BENCHMARK_CAPTURE(BM_FillSpotKernel, avx512, SpotFillKernel::Avx512)
    ->Name("FillSpot/avx512")
    ->Apply(Configure);
BENCHMARK(BM_MemoryFloor)->Name("FillSpot/memory-floor")->Apply(Configure);
BENCHMARK(BM_FiveSpotFills)
    ->Name("FiveSpotTick/fills-only")
    ->Unit(benchmark::kMicrosecond)
    ->Apply(Configure);
BENCHMARK(BM_FiveSpotTick)
    ->Name("FiveSpotTick/update")
    ->Unit(benchmark::kMicrosecond)
    ->Apply(Configure);

// Keeps each run's time per texel for the summary.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred || run.run_type != Run::RT_Aggregate ||
                run.aggregate_name != "min") {
                continue;
            }
            const auto found = run.counters.find("ns_per_texel");
            if (found != run.counters.end()) nsPerTexel[run.run_name.function_name] = found->second;
        }
    }
    std::map<std::string, double> nsPerTexel;
};

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const auto literal = reporter.nsPerTexel.find("FillSpot/literal");
    std::printf("\nSummary (%d x %d, this run; FillSpotTexture uses %s):\n", ScreenWidth,
                ScreenHeight, SpotFillKernelName(ActiveSpotFillKernel()));
    for (const auto& [name, ns] : reporter.nsPerTexel) {
        std::printf("  %-24s %7.3f ns/texel", name.c_str(), ns);
        if (literal != reporter.nsPerTexel.end()) {
            std::printf("   %6.1fx the literal fill", literal->second / ns);
        }
        if (name.rfind("FiveSpotTick", 0) == 0) {
            std::printf("   (%.1f us a tick)", ns * 5 * SpotTexels / 1000.0);
        }
        std::printf("\n");
    }
    return 0;
}
