// The surface builds that run at scene setup, against their literal versions.
// ns/pixel is the time of one build divided by its pixels (or table entries).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <random>
#include <vector>

#include "surface/falloff_table.h"
#include "surface/height_field.h"
#include "surface/normal_field.h"
#include "surface/normal_field_paths.h"
#include "surface/reference_surface.h"

namespace {

// A screen-like height field: flat windows with edges and sparse text, plus a gradient.
std::vector<uint8_t> DesktopHeights(int32_t w, int32_t h)
{
    std::vector<uint8_t> heights(static_cast<size_t>(w) * h);
    std::mt19937 random(7);
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x)
            heights[static_cast<size_t>(y) * w + x] = static_cast<uint8_t>(40 + (x + y) % 24);
    }
    for (int n = 0; n < 60; ++n) {
        const int32_t x0 = static_cast<int32_t>(random() % w);
        const int32_t y0 = static_cast<int32_t>(random() % h);
        const int32_t x1 = std::min(w, x0 + 1 + static_cast<int32_t>(random() % (w / 3)));
        const int32_t y1 = std::min(h, y0 + 1 + static_cast<int32_t>(random() % (h / 3)));
        const auto shade = static_cast<uint8_t>(random() % 128);
        for (int32_t y = y0; y < y1; ++y) {
            for (int32_t x = x0; x < x1; ++x) {
                const bool ink = (n % 2 == 0) && random() % 6 == 0;
                heights[static_cast<size_t>(y) * w + x] =
                    ink ? static_cast<uint8_t>(127 - shade) : shade;
            }
        }
    }
    return heights;
}

template <NormalFieldPath Path>
void BuildOnPath(const uint8_t* heights, int32_t w, int32_t h, Vec3* normals)
{
    BuildNormalFieldOn(Path, heights, w, h, normals);
}

void SetPerPixel(benchmark::State& state, double pixels)
{
    // Shown in seconds with a prefix: "1.2ns" per pixel.
    state.counters["per_pixel"] =
        benchmark::Counter(pixels * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["pixels"] = pixels;
}

template <void (*Build)(const uint8_t*, int32_t, int32_t, Vec3*)>
void BenchNormalField(benchmark::State& state)
{
    const auto w = static_cast<int32_t>(state.range(0));
    const auto h = static_cast<int32_t>(state.range(1));
    const std::vector<uint8_t> heights = DesktopHeights(w, h);
    // Touched once before timing: the first touch of a fresh buffer is the heap's cost.
    std::vector<Vec3> normals(heights.size(), Vec3{0.0f, 0.0f, 0.0f});
    for (auto _ : state) {
        Build(heights.data(), w, h, normals.data());
        benchmark::DoNotOptimize(normals.data());
        benchmark::ClobberMemory();
    }
    SetPerPixel(state, static_cast<double>(heights.size()));
}

// The same, into a fresh zero-filled buffer each time, as scene setup does it.
template <void (*Build)(const uint8_t*, int32_t, int32_t, Vec3*)>
void NormalFieldFreshBuffer(benchmark::State& state)
{
    const auto w = static_cast<int32_t>(state.range(0));
    const auto h = static_cast<int32_t>(state.range(1));
    const std::vector<uint8_t> heights = DesktopHeights(w, h);
    for (auto _ : state) {
        Vec3* normals = static_cast<Vec3*>(std::calloc(heights.size(), sizeof(Vec3)));
        Build(heights.data(), w, h, normals);
        benchmark::DoNotOptimize(normals);
        benchmark::ClobberMemory();
        std::free(normals);
    }
    SetPerPixel(state, static_cast<double>(heights.size()));
}

template <void (*Build)(Vec3*)>
void BenchFalloffTable(benchmark::State& state)
{
    std::vector<Vec3> table(FalloffTableEntries);
    for (auto _ : state) {
        Build(table.data());
        benchmark::DoNotOptimize(table.data());
        benchmark::ClobberMemory();
    }
    SetPerPixel(state, FalloffTableEntries);
}

void HeightFromSnapshot(benchmark::State& state)
{
    const auto w = static_cast<int32_t>(state.range(0));
    const auto h = static_cast<int32_t>(state.range(1));
    const size_t stride = (3 * static_cast<size_t>(w) + 3) / 4 * 4;
    std::vector<uint8_t> snapshot(stride * h);
    std::mt19937 random(3);
    for (uint8_t& byte : snapshot) byte = static_cast<uint8_t>(random());
    std::vector<uint8_t> heights(static_cast<size_t>(w) * h, 0);
    for (auto _ : state) {
        HeightFieldFromSnapshot(snapshot.data(), w, h, heights.data());
        benchmark::DoNotOptimize(heights.data());
        benchmark::ClobberMemory();
    }
    SetPerPixel(state, static_cast<double>(heights.size()));
}

void Screens(benchmark::internal::Benchmark* b)
{
    b->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMillisecond);
}

}  // namespace

BENCHMARK(BenchNormalField<BuildNormalField>)->Name("BuildNormalField")->Apply(Screens);
BENCHMARK(BenchNormalField<BuildOnPath<NormalFieldPath::Sse2>>)
    ->Name("BuildNormalField/sse2")
    ->Apply(Screens);
BENCHMARK(BenchNormalField<BuildOnPath<NormalFieldPath::Portable>>)
    ->Name("BuildNormalField/portable")
    ->Apply(Screens);
BENCHMARK(BenchNormalField<ReferenceBuildNormalField>)
    ->Name("BuildNormalField/literal")
    ->Apply(Screens);
BENCHMARK(NormalFieldFreshBuffer<BuildNormalField>)->Name("BuildNormalField/fresh")->Apply(Screens);
BENCHMARK(NormalFieldFreshBuffer<ReferenceBuildNormalField>)
    ->Name("BuildNormalField/literal/fresh")
    ->Apply(Screens);
BENCHMARK(BenchFalloffTable<BuildFalloffTable>)
    ->Name("BuildFalloffTable")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BenchFalloffTable<ReferenceBuildFalloffTable>)
    ->Name("BuildFalloffTable/literal")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(HeightFromSnapshot)
    ->Name("HeightFieldFromSnapshot")
    ->Args({1920, 1080})
    ->Unit(benchmark::kMillisecond);
