// The Linux program: the saver on Wayland, or on X11 in each of XScreenSaver's ways of running
// a hack, or rendered without a window (with -render into the files named; without a display a
// short sequence into the user's cache folder). The mode, and with it the window services, is
// chosen here at run time.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "host/headless/headless_host.h"
#include "host/headless/headless_run.h"
#include "host/linux/add_to_xscreensaver.h"
#include "host/linux/hack_options.h"
#include "host/linux/run_mode.h"
#include "host/saver_session.h"
#include "host/wayland/wayland_host.h"
#include "host/x11/x11_host.h"

namespace {

constexpr uint32_t DefaultSequenceFrames = 72;  // two seconds of the saver

std::string CacheFolder()
{
    const char* cache = std::getenv("XDG_CACHE_HOME");
    if (cache != nullptr && cache[0] == '/') return std::string(cache) + "/tavrel";
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') return std::string(home) + "/.cache/tavrel";
    return "tavrel-cache";
}

// Without a display to show the saver on: a sequence at the timer's pace, rendered headless.
int RunDefaultSequence(HackOptions options)
{
    const std::string folder = CacheFolder() + "/frames";
    std::string reason;
    if (!MakeFolders(folder, reason)) {
        PrintErrorLine(reason.c_str());
        return ExitFailed;
    }
    options.renderPath = folder + "/frame-%04d.png";
    if (!options.framesGiven) options.frames = DefaultSequenceFrames;
    if (!options.frameTimeNs) options.frameTimeNs = FrameTimerPeriodNs;  // the timer's pace
    std::printf("tavrel: no display; rendering %u frames headless into %s\n", options.frames,
                folder.c_str());
    std::fflush(stdout);
    const int status = RunHeadless(options);
    if (status == ExitDone) {
        std::printf("tavrel: wrote %s to %s\n", FramePath(options.renderPath, 0).c_str(),
                    FramePath(options.renderPath, options.frames - 1).c_str());
    }
    return status;
}

}  // namespace

int main(int argc, char** argv)
{
    const char* screensaverWindow = std::getenv("XSCREENSAVER_WINDOW");
    HackOptions options;
    std::string error;
    // Run by XScreenSaver, a mistake in the options must not leave its screen blank.
    if (!ParseHackOptions(argc, argv, options, error, IsSet(screensaverWindow))) {
        std::fprintf(stderr, "tavrel: %s (tavrel -help lists the options)\n", error.c_str());
        return ExitBadInput;
    }
    if (options.help) {
        std::fputs(HackUsage(), stdout);
        return ExitDone;
    }
    if (options.addToXScreenSaver) return RunAddToXScreenSaver();
    RunPlan plan;
    const char* display = std::getenv("DISPLAY");
    if (!ChooseRunMode(options, screensaverWindow, display, plan, error,
                       std::getenv("WAYLAND_DISPLAY"))) {
        std::fprintf(stderr, "tavrel: %s (tavrel -help lists the options)\n", error.c_str());
        return ExitBadInput;
    }
    if (!options.notes.empty()) {
        std::fprintf(stderr, "tavrel: %s\n", options.notes.c_str());
        std::fflush(stderr);
    }
    switch (plan.mode) {
    case RunMode::Headless: return RunHeadless(options);
    case RunMode::DefaultSequence: return RunDefaultSequence(options);
    default: {
        int status = 0;
        if (plan.wayland && RunWaylandSaver(options, plan, IsSet(display), status)) return status;
        return RunX11Saver(options, plan);
    }
    }
}
