// The system's screensaver password, through the modules that provide it.
#pragma once

#include <cstdint>

// Lets the user change the screensaver password; 1 when the system's routine was called,
// 0 when it cannot be reached.
uint32_t ChangePassword(uint32_t parentWindow);
