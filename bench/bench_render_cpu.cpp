// A frame of the saver at 1920 x 1080 with five spots and the overlay, headless, drawn by the
// processor back end and by OpenGL (whatever the machine has; Mesa's llvmpipe without a GPU),
// through the renderer switch. Times are the process's CPU time per frame, every thread of the
// rasteriser included; OpenGL frames are finished (glFinish) so that their work is counted.
//   Frame: the whole tick (clock, spot movement and texel fill, drawing, present)
//   Draw:  the drawing and present alone, the spots standing still
//   Spot:  one spot's 258 x 258 pixels drawn by each version of the inner loops
// After the run a summary gives the processor back end's share of OpenGL's time, measured in
// the same run.
#define EGL_NO_X11
#include <EGL/egl.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "render/cpu/cpu_spans.h"
#include "render/device_lifecycle.h"
#include "render/frame_loop.h"
#include "render/switch/render_switch.h"
#include "render_cpu/saver_frames.h"

namespace {

SaverRun FullHdRun()
{
    SaverRun run;
    run.width = 1920;
    run.height = 1080;
    run.numLights = 4;
    run.colorLight = 7;
    run.overlay = true;
    run.frameMilliseconds = 28;
    return run;
}

// Waits for OpenGL to have drawn everything asked of it (nothing to wait for on the processor).
void Finish(bool cpu)
{
    if (cpu) return;
    using FinishFunction = void (*)();
    static const auto finish = reinterpret_cast<FinishFunction>(eglGetProcAddress("glFinish"));
    if (finish != nullptr) finish();
}

void WholeFrame(benchmark::State& state, bool cpu)
{
    SaverSession session(FullHdRun(), cpu);
    if (!session.ok()) {
        state.SkipWithError("no device");
        return;
    }
    session.Tick();
    Finish(cpu);
    for (auto _ : state) {
        session.Tick();
        Finish(cpu);
    }
}

void DrawOnly(benchmark::State& state, bool cpu)
{
    SaverSession session(FullHdRun(), cpu);
    if (!session.ok()) {
        state.SkipWithError("no device");
        return;
    }
    session.Tick();
    Finish(cpu);
    for (auto _ : state) {
        DrawFrame();
        Finish(cpu);
    }
}

// One spot's quad: 258 x 258 pixels over a 256 x 256 texture, each texture row resampled
// once, mixed in pairs and blended, as the back end does it.
void OneSpot(benchmark::State& state, cpu::SpanFunctions version)
{
    constexpr int32_t Side = 258;
    constexpr int32_t Pitch = 256 + 16;
    std::mt19937 random(5);
    std::vector<uint32_t> texels(Pitch * 256);
    for (uint32_t& t : texels) t = random();
    constexpr int32_t Padded = cpu::RoundUpTo8(Side);
    std::vector<int32_t> index(Padded), offset(Padded), groupBase(Padded / 8);
    std::vector<uint16_t> weight(4 * Padded);
    for (int32_t x = 0; x < Side; ++x) {
        index[x] = x * 255 / Side;
        std::fill_n(weight.begin() + 4 * x, 4, static_cast<uint16_t>((x * 97) & 255));
    }
    cpu::GroupColumns(Side, index.data(), weight.data(), offset.data(), groupBase.data());
    const cpu::Columns columns{Side, index.data(), weight.data(), offset.data(), groupBase.data()};
    std::vector<uint32_t> rows[2] = {std::vector<uint32_t>(Padded), std::vector<uint32_t>(Padded)};
    std::vector<uint32_t> target(Side * Side, 0x00102030u);
    for (auto _ : state) {
        for (int32_t y = 0; y < Side; ++y) {
            const int32_t row = y * 255 / Side;
            version.resample(texels.data() + row * Pitch, columns, rows[y & 1].data());
            cpu::Span span{};
            span.target = target.data() + y * Side;
            span.count = Side;
            span.upper = rows[y & 1].data();
            span.lower = rows[(y + 1) & 1].data();
            span.rowWeight = static_cast<uint32_t>(y * 31) & 255;
            span.modulate = 0x00FFFFFFu;
            span.source = cpu::BlendFactor::SourceAlpha;
            span.destination = cpu::BlendFactor::InverseSourceAlpha;
            version.blend(span);
        }
        benchmark::DoNotOptimize(target.data());
    }
    state.SetItemsProcessed(state.iterations() * Side * Side);
}

// Keeps each benchmark's CPU time per iteration for the summary.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        // With repetitions, their median.
        for (const Run& run : runs) {
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (!run.error_occurred && (run.run_type == Run::RT_Iteration || median)) {
                times[run.run_name.function_name] = run.GetAdjustedCPUTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> times;
};

}  // namespace

int main(int argc, char** argv)
{
    for (const bool cpu : {true, false}) {
        const std::string back = cpu ? "cpu" : "opengl";
        benchmark::RegisterBenchmark(("Frame/" + back).c_str(), WholeFrame, cpu)
            ->MeasureProcessCPUTime()
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(("Draw/" + back).c_str(), DrawOnly, cpu)
            ->MeasureProcessCPUTime()
            ->Unit(benchmark::kMicrosecond);
    }
    benchmark::RegisterBenchmark("Spot/plain", OneSpot,
                                 cpu::SpanFunctions{cpu::ResamplePlain, cpu::BlendPlain})
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("Spot/sse2", OneSpot,
                                 cpu::SpanFunctions{cpu::ResampleSse2, cpu::BlendSse2})
        ->Unit(benchmark::kMicrosecond);
    if (cpu::ProcessorHasAvx2()) {
        benchmark::RegisterBenchmark("Spot/avx2", OneSpot,
                                     cpu::SpanFunctions{cpu::ResampleAvx2, cpu::BlendAvx2})
            ->Unit(benchmark::kMicrosecond);
    }
    benchmark::Initialize(&argc, argv);
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    std::printf("\nCPU time per frame at 1920 x 1080, five spots and the overlay:\n");
    for (const char* what : {"Frame", "Draw"}) {
        const auto cpu = reporter.times.find(std::string(what) + "/cpu");
        const auto gl = reporter.times.find(std::string(what) + "/opengl");
        if (cpu == reporter.times.end() || gl == reporter.times.end() || gl->second <= 0) continue;
        std::printf("  %-6s processor %8.1f us, OpenGL %8.1f us: %.3f of OpenGL's (%.1fx less)\n",
                    what, cpu->second, gl->second, cpu->second / gl->second,
                    gl->second / cpu->second);
    }
    return 0;
}
