// The Linux program serves the headless mode and the X11 modes, so its window services are
// picked at run time: one record of the procedures of host/window_services.h, filled at start.
// The renderer and the saver session call the plain procedures and never see the difference.
#pragma once

#include <cstdint>

#include "host/native_window.h"

struct WindowServiceTable {
    void (*getWindowClientSize)(NativeWindow window, int32_t& width, int32_t& height);
    void (*showErrorMessage)(NativeWindow owner, const char* text);
    void (*sendDestroyMessage)(NativeWindow window);
    void (*postDestroyMessage)(NativeWindow window);
    void (*postQuit)(int32_t exitCode);
    void (*showWindowRestoredThenMaximized)(NativeWindow window);
    void (*startFrameTimer)(NativeWindow window);
    void (*postCloseMessage)(NativeWindow window);
};

// A run without a window (host/headless/window_services_headless.cpp).
extern const WindowServiceTable HeadlessWindowServices;

// The record in use: the headless one until the host picks another.
extern const WindowServiceTable* WindowServices;
