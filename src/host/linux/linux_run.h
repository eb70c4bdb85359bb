// What every run of the Linux program does alike, whichever host shows it.
#pragma once

#include <cstdint>
#include <string>

#include "host/linux/hack_options.h"
#include "render/saver_run.h"

// The run's start: the generator (as -seed says, else from the clock), the counter
// (-frame-time's fixed step, else the monotonic clock), the settings loaded and this run's
// overrides applied; the settings as stored stay in run.StoredSettings for the close.
void StartLinuxRun(SaverRun& run, const HackOptions& options);

// The desktop picture could not be had: one line says why, and the demo desktop stands in.
// -1 when the run goes on, else its exit status.
int ShowDemoDesktopInstead(SurfaceFields& surface, const std::string& reason, int32_t width,
                           int32_t height);
