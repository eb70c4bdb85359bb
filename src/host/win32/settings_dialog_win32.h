// The settings dialog "CONFIG", shown in Config mode.
#pragma once

#include <windows.h>

#include <cstdint>

// Runs the dialog over parent until it ends; the value it ended with.
uint32_t RunSettingsDialog(HWND parent);
