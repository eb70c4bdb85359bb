// The host's process-wide record, zero at process start. The start-up sets these fields once;
// the saver window adds its own.
#pragma once

#include <cstdint>

#include "host/command_line.h"

struct HostState {
    uintptr_t moduleHandle = 0;       // the program's own instance handle
    const char* className = nullptr;  // the saver window's class name and title
    SaverMode mode = SaverMode::Saver;
    uint32_t previewFlag = 0;   // 1 when started with the preview switch
    uint32_t parentWindow = 0;  // the window handle number that came with the switch
};

inline HostState Host;
