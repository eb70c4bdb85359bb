// The saver's own window in Saver and Preview mode.
#pragma once

#include <cstdint>

struct SaverSession;

// Runs the session until its window closes; the value carried by the quit message, 0 when the
// window cannot be created. parentWindow owns the full-screen window, or holds the preview.
uint32_t RunSaverWindow(SaverSession& session, const char* className, uint32_t parentWindow);
