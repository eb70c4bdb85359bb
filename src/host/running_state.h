// Tells the system whether a screensaver is running, so that it can hold back its own
// shortcuts (task switching, another saver) meanwhile.
#pragma once

#include <cstdint>

void ReportSaverRunning(uint32_t on);
