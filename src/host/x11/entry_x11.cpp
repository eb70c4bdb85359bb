// The Linux program. For now it renders without a window: with -render into the files named,
// otherwise a short sequence into the user's cache folder.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "host/headless/headless_host.h"
#include "host/headless/headless_run.h"
#include "host/x11/hack_options.h"

namespace {

constexpr uint32_t DefaultSequenceFrames = 72;          // two seconds of the saver
constexpr int64_t DefaultSequenceFrameTime = 28000000;  // its timer period, in nanoseconds

std::string CacheFolder()
{
    const char* cache = std::getenv("XDG_CACHE_HOME");
    if (cache != nullptr && cache[0] == '/') return std::string(cache) + "/tavrel";
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') return std::string(home) + "/.cache/tavrel";
    return "tavrel-cache";
}

// Until the saver has its window: a sequence at the timer's pace, rendered headless.
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
    if (!options.frameTimeNs) options.frameTimeNs = DefaultSequenceFrameTime;
    std::printf("tavrel: there is no window mode yet; rendering %u frames headless into %s\n",
                options.frames, folder.c_str());
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
    HackOptions options;
    std::string error;
    if (!ParseHackOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "tavrel: %s (tavrel -help lists the options)\n", error.c_str());
        return ExitBadInput;
    }
    if (options.help) {
        std::fputs(HackUsage(), stdout);
        return ExitDone;
    }
    if (options.renderPath.empty()) return RunDefaultSequence(options);
    return RunHeadless(options);
}
