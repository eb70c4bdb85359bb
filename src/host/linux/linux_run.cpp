#include "host/linux/linux_run.h"

#include <cstdio>

#include "host/headless/headless_host.h"
#include "host/headless/headless_run.h"
#include "support/posix/counter_mode.h"
#include "support/ranmar.h"
#include "surface/height_field.h"
#include "surface/picture/desktop_source.h"

SaverSettings StartLinuxRun(const HackOptions& options)
{
    if (options.seedIJ && options.seedKL) {
        SeedRanmar(*options.seedIJ, *options.seedKL);
    } else {
        SeedFromClock();
    }
    if (options.frameTimeNs) {
        UseFixedCounterStep(*options.frameTimeNs);
    } else {
        UseMonotonicCounter();
    }
    LoadSettings();
    const SaverSettings stored = Settings;
    ApplySettingOverrides(options, Settings);
    return stored;
}

bool UseDemoDesktop(int32_t width, int32_t height)
{
    CaptureSource = DesktopSource{};
    CaptureSource.kind = DesktopSourceKind::DemoDesktop;
    CaptureSource.demoWidth = width;
    CaptureSource.demoHeight = height;
    return CaptureDesktop() || UseFlatHeightField(width, height);
}

int ShowDemoDesktopInstead(const std::string& reason, int32_t width, int32_t height)
{
    std::fprintf(stderr, "tavrel: no desktop picture (%s); showing the demo desktop\n",
                 reason.c_str());
    std::fflush(stderr);
    if (UseDemoDesktop(width, height)) return -1;
    PrintErrorLine("not enough memory for the surface");
    return ExitFailed;
}
