// The host's process-wide record, zero at process start. The start-up sets these fields once;
// the saver window adds its own.
#pragma once

#include <cstdint>

#include "host/native_window.h"

// How the system started the saver; the Linux program always runs it as Saver.
enum class SaverMode : uint32_t { Saver = 0, Config = 1, ChangePassword = 2, Preview = 3 };

struct HostState {
    uintptr_t moduleHandle = 0;       // the program's own instance handle
    const char* className = nullptr;  // the saver window's class name and title
    SaverMode mode = SaverMode::Saver;
    uint32_t previewFlag = 0;   // 1 when started with the preview switch
    uint32_t parentWindow = 0;  // the window handle number that came with the switch

    // The saver window's fields, kept by the saver session.
    NativeWindow saverWindow = 0;
    int32_t savedCursorX = 0;  // where the pointer stood before it was parked
    int32_t savedCursorY = 0;
    uint32_t cursorParked = 0;          // 1 once savedCursor holds a position to go back to
    uint32_t windowClosed = 0;          // 1 once the close has been handled
    uint32_t windowDestroyed = 0;       // 1 once the end-of-window handling ran
    uint32_t endAccepted = 0;           // non-zero once the end is accepted: no more checks
    uint32_t passwordDialogActive = 0;  // 1 while the system's password dialog is open
    uint32_t mouseMoveCount = 0;        // coordinate changes counted since the last reset
    uint32_t lastMouseX = 0;
    uint32_t lastMouseY = 0;
};

inline HostState Host;
