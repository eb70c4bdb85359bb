// Platforms with no system-wide "a saver is running" state to report.
#include "host/running_state.h"

void ReportSaverRunning(uint32_t) {}
