#pragma once

#include <cstdint>

// A platform window (HWND, X11 Window); 0 is none. Headless runs use 0 throughout.
using NativeWindow = uintptr_t;
