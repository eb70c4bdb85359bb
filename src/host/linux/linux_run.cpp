#include "host/linux/linux_run.h"

#include <cstdio>

#include "host/headless/headless_host.h"
#include "host/headless/headless_run.h"
#include "host/saver_session.h"
#include "support/posix/counter_mode.h"
#include "surface/picture/desktop_source.h"

void StartLinuxRun(SaverRun& run, const HackOptions& options)
{
    std::optional<RunSeed> seed;
    if (options.seedIJ && options.seedKL) seed = RunSeed{*options.seedIJ, *options.seedKL};
    if (options.frameTimeNs) {
        UseFixedCounterStep(*options.frameTimeNs);
    } else {
        UseMonotonicCounter();
    }
    StartSaverRun(run, seed);
    ApplySettingOverrides(options, run.Settings);
}

int ShowDemoDesktopInstead(SurfaceFields& surface, const std::string& reason, int32_t width,
                           int32_t height)
{
    std::fprintf(stderr, "tavrel: no desktop picture (%s); showing the demo desktop\n",
                 reason.c_str());
    std::fflush(stderr);
    // A flat desktop when even the demo one cannot be had.
    std::string why;
    if (UseDemoDesktop(surface, width, height, why) || UseFlatHeightField(surface, width, height)) {
        return -1;
    }
    PrintErrorLine("not enough memory for the surface");
    return ExitFailed;
}
