#include "saver_frames.h"

#include <algorithm>
#include <cstdlib>

#include "fake_clock.h"
#include "fake_window.h"
#include "render/device_lifecycle.h"
#include "render/frame_loop.h"
#include "render/scene.h"
#include "render/switch/render_switch.h"
#include "render/text_overlay.h"
#include "settings/settings.h"
#include "support/heap.h"
#include "support/posix/loaded_libraries.h"
#include "support/ranmar.h"
#include "surface/height_field.h"
#include "surface/picture/demo_desktop.h"

SaverSession::SaverSession(const SaverRun& run, bool cpu)
{
    UseCpuRenderer(cpu);
    SetRendererDisplayMode(DisplayMode{static_cast<uint32_t>(run.width),
                                       static_cast<uint32_t>(run.height), 60, FormatX8R8G8B8});
    FakeWindow.clientWidth = run.width;
    FakeWindow.clientHeight = run.height;
    FakeClock = FakeClockControl{};
    FakeClock.stepPerRead = run.frameMilliseconds;
    // The overlay's frame-rate text outlives a run; each run starts it afresh.
    LastFpsSecond = 0;
    FpsText[0] = '\0';

    DesktopWidth = run.width;
    DesktopHeight = run.height;
    DesktopPixelCount = static_cast<uint32_t>(run.width * run.height);
    std::vector<uint8_t> snapshot(SnapshotStride(run.width) * static_cast<size_t>(run.height));
    DrawDemoDesktop(run.width, run.height, snapshot.data());
    HeightField = static_cast<uint8_t*>(AllocateZeroed(DesktopPixelCount));
    HeightFieldFromSnapshot(snapshot.data(), run.width, run.height, HeightField);

    Settings = SaverSettings{};
    Settings.NumLights = run.numLights;
    Settings.ColorLight = run.colorLight;
    Settings.bTime = run.overlay ? 1 : 0;
    Settings.bFps = run.overlay ? 1 : 0;
    // Seeding keeps the lag indices: a fresh generator, so that every run draws alike.
    RandomGenerator = Ranmar{};
    SeedRanmar(1802, 9373);
    CreateRenderDevice(0, 0);
    if (!cpu && SaverDevice != nullptr) KeepLoadedLibraries();
    SetupScene();
}

SaverSession::~SaverSession()
{
    ReleaseSceneResources();
    ShutDownRenderer();
    Settings = SaverSettings{};
    UseCpuRenderer(false);
}

bool SaverSession::ok() const
{
    return SaverDevice != nullptr;
}

void SaverSession::Tick()
{
    OnFrameTick();
}

Frame SaverSession::Read() const
{
    Frame frame;
    Viewport viewport{};
    GetViewport(SaverDevice, viewport);
    frame.width = static_cast<int32_t>(viewport.width);
    frame.height = static_cast<int32_t>(viewport.height);
    frame.pixels.assign(static_cast<size_t>(frame.width) * frame.height * 4, 0);
    if (ReadRendererFrame(SaverDevice, frame.pixels.data(), 4 * frame.width) != RenderOk) {
        frame.pixels.clear();
    }
    return frame;
}

Frame RenderSaver(const SaverRun& run, bool cpu)
{
    SaverSession session(run, cpu);
    if (!session.ok()) return Frame{};
    for (int32_t i = 0; i < run.frames; ++i) session.Tick();
    return session.Read();
}

FrameDifference CompareFrames(const Frame& a, const Frame& b)
{
    FrameDifference d;
    const size_t count = std::min(a.pixels.size(), b.pixels.size()) / 4;
    for (size_t i = 0; i < count; ++i) {
        int worst = 0;
        bool lit = false;
        for (int c = 0; c < 3; ++c) {
            worst = std::max(worst, std::abs(a.pixels[4 * i + c] - b.pixels[4 * i + c]));
            lit = lit || a.pixels[4 * i + c] != 0;
        }
        d.maxChannel = std::max(d.maxChannel, worst);
        d.pixelsOverTwo += worst > 2 ? 1 : 0;
        d.litPixels += lit ? 1 : 0;
    }
    return d;
}
