// The Windows program's start: the mode chosen from the command line, and the process start
// that the saver window and the settings dialog run first.
#pragma once

#include <windows.h>

#include <cstdint>

struct SaverSession;

// Runs the mode the command line chooses and returns its result.
uint32_t RunCommandLine(const char* className);

// The run's start: generator, settings, working directory, desktop capture; in that order.
// Run once, by the saver window or the settings dialog (which keeps only the settings), before
// anything else.
void InitProcess(SaverSession& session);

// A window handle that came as a 32-bit number: handles are 32-bit values, sign-extended.
inline HWND WindowFromNumber(uint32_t number)
{
    return reinterpret_cast<HWND>(static_cast<intptr_t>(static_cast<int32_t>(number)));
}
