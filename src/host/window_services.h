// What the renderer asks of the window that shows the saver. Each host (Win32, X11, headless)
// implements these; unit tests link a recording fake.
#pragma once

#include <cstdint>

#include "host/native_window.h"

// The client area in pixels.
void GetWindowClientSize(NativeWindow window, int32_t& width, int32_t& height);
// A modal message titled "Error" with an OK button, owned by the window.
void ShowErrorMessage(NativeWindow owner, const char* text);
// Runs the window's end-of-window handling now (it posts the quit message).
void SendDestroyMessage(NativeWindow window);
// Queues the end-of-window handling behind the messages already waiting.
void PostDestroyMessage(NativeWindow window);
// Ends the message loop with this exit code once the queue reaches it.
void PostQuit(int32_t exitCode);
// Shows the window restored, then maximised: brings it back after the password dialog.
void ShowWindowRestoredThenMaximized(NativeWindow window);

// What the saver session asks of its window beyond that.

// Starts the frame timer: from now on the host calls OnSaverTimer every FrameTimerPeriodMs.
void StartFrameTimer(NativeWindow window);
// Queues the close of the window behind the messages already waiting; the host then calls
// OnSaverClose and, once the window is gone, OnSaverDestroy.
void PostCloseMessage(NativeWindow window);
