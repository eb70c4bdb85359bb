#include "host/headless/headless_run.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "host/headless/headless_host.h"
#include "host/headless/png_file.h"
#include "host/linux/linux_run.h"
#include "host/saver_session.h"
#include "render/device_lifecycle.h"
#include "render/switch/render_switch.h"
#include "support/posix/counter_mode.h"
#include "support/posix/loaded_libraries.h"
#include "support/posix/monotonic_clock.h"
#include "surface/picture/desktop_source.h"

namespace {

constexpr NativeWindow NoWindow = 0;

// Ticks come at the saver's timer period, as in a window: the wait blocks.
void WaitForTick(int64_t& nextTickNs)
{
    while (!TakeDueTick(MonotonicNanoseconds(), nextTickNs)) {
        const timespec until{static_cast<time_t>(nextTickNs / 1000000000),
                             static_cast<long>(nextTickNs % 1000000000)};
        clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr);
    }
}

// The presented frame as RGB rows, top first, into pixels (4 * W * H bytes, reused).
bool WriteFrame(Renderer* renderer, const std::string& path, std::vector<uint8_t>& pixels,
                std::string& reason)
{
    const int32_t width = HeadlessHost.screenWidth;
    const int32_t height = HeadlessHost.screenHeight;
    if (!ReadRendererFrame(renderer, pixels.data(), 4 * width)) {
        reason = "cannot read the frame back from the renderer";
        return false;
    }
    // The back buffer has no alpha worth keeping; RGBA packs down to RGB in place.
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    for (size_t i = 0; i < count; ++i) {
        pixels[3 * i] = pixels[4 * i];
        pixels[3 * i + 1] = pixels[4 * i + 1];
        pixels[3 * i + 2] = pixels[4 * i + 2];
    }
    return WritePngFile(path.c_str(), width, height, 3, pixels.data(), 3 * width, reason);
}

std::string SpotFilePath(const std::string& folder, int32_t k)
{
    return folder + "/spot" + std::to_string(k) + ".png";
}

// Each active spot's texels as they were last filled: red, green, blue and alpha from the
// texel's bytes (B, G, R, A in memory), texture row 0 at the top. Files of spots that are not
// lit in this run are removed, so that the folder holds this run's spots only.
bool DumpSpotTextures(SaverRun& run, const std::string& folder, std::string& reason)
{
    if (!MakeFolders(folder, reason)) return false;
    const int32_t active = ActiveSpotCount(run.Settings.NumLights);
    std::vector<uint8_t> rgba(static_cast<size_t>(SpotSize) * SpotSize * 4);
    for (int32_t k = 0; k < LightSpotCount; ++k) {
        const std::string path = SpotFilePath(folder, k);
        uint8_t* texels = nullptr;
        int32_t pitch = 0;
        if (k >= active || !LockSpotTexels(run.renderer, k, texels, pitch)) {
            std::remove(path.c_str());
            continue;
        }
        for (int32_t t = 0; t < SpotSize; ++t) {
            const uint8_t* in = texels + static_cast<ptrdiff_t>(t) * pitch;
            uint8_t* out = rgba.data() + static_cast<size_t>(t) * SpotSize * 4;
            for (int32_t c = 0; c < SpotSize; ++c, in += 4, out += 4) {
                out[0] = in[2];
                out[1] = in[1];
                out[2] = in[0];
                out[3] = in[3];
            }
        }
        if (!WritePngFile(path.c_str(), SpotSize, SpotSize, 4, rgba.data(), SpotSize * 4, reason)) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool MakeFolders(const std::string& path, std::string& reason)
{
    for (size_t end = 0; end != std::string::npos;) {
        end = path.find('/', end + 1);
        const std::string part = path.substr(0, end);
        if (part.empty() || mkdir(part.c_str(), 0777) == 0 || errno == EEXIST) continue;
        reason = "cannot make the folder '" + part + "': " + std::strerror(errno);
        return false;
    }
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        reason = "'" + path + "' is not a folder";
        return false;
    }
    return true;
}

int RunHeadless(const HackOptions& options)
{
    // The run's start: generator, counter, settings, desktop.
    SaverSession session;
    SaverRun& run = session.run;
    StartLinuxRun(run, options);

    std::string reason;
    const bool taken =
        options.imagePath.empty()
            ? UseDemoDesktop(run.surface, options.demoWidth, options.demoHeight, reason)
            : UseDesktopPictureFile(run.surface, options.imagePath, reason);
    if (!taken) {
        PrintErrorLine(reason.c_str());
        return options.imagePath.empty() ? ExitFailed : ExitBadInput;
    }
    const int32_t width = run.surface.DesktopWidth;
    const int32_t height = run.surface.DesktopHeight;

    // The window would be full screen: the back buffer is the desktop's size.
    HeadlessHost = HeadlessHostState{};
    HeadlessHost.screenWidth = width;
    HeadlessHost.screenHeight = height;
    // Without a window nobody watches what a frame costs: OpenGL draws unless the processor
    // is asked for, so that pictures made to be compared are drawn the same way everywhere.
    const bool useCpu = options.renderer == RendererChoice::Cpu;
    UseRendererBackEnd(useCpu ? RendererBackEndKind::Cpu : RendererBackEndKind::OpenGl);
    SetRendererNativeDisplay(NativeDisplay{});
    StartRendering(session, NoWindow);
    if (!HasRenderDevice(run)) {
        // The renderer's own message is out already; say what it means here.
        const std::string size = std::to_string(width) + " x " + std::to_string(height);
        if (useCpu) {
            PrintErrorLine(("not enough memory for a frame of " + size + " pixels").c_str());
        } else if (run.renderer == nullptr) {
            PrintErrorLine(
                "no OpenGL: headless rendering needs EGL with Mesa's surfaceless "
                "platform (package libegl-mesa0)");
        } else {
            PrintErrorLine(("no OpenGL back buffer of " + size + " pixels could be made").c_str());
        }
        ReleaseUnclosedRun(session);
        return ExitFailed;
    }
    if (!useCpu) KeepLoadedLibraries();

    std::vector<uint8_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    const bool everyFrame = HasFrameNumber(options.renderPath);
    int64_t nextTickNs = MonotonicNanoseconds() + FrameTimerPeriodNs;
    int status = ExitDone;
    for (uint32_t frame = 0; frame < options.frames && !HeadlessHost.endRequested; ++frame) {
        if (!options.frameTimeNs) WaitForTick(nextTickNs);
        OnSaverTimer(session);
        if (everyFrame || frame + 1 == options.frames) {
            if (!WriteFrame(run.renderer, FramePath(options.renderPath, frame), pixels, reason)) {
                PrintErrorLine(reason.c_str());
                status = ExitFailed;
                break;
            }
        }
    }
    if (status == ExitDone && !options.dumpSpotsDir.empty() &&
        !DumpSpotTextures(run, options.dumpSpotsDir, reason)) {
        PrintErrorLine(reason.c_str());
        status = ExitFailed;
    }

    // The close of the saver window, which stores the settings as they were loaded.
    CloseSaver(session);
    UseMonotonicCounter();
    return status;
}
