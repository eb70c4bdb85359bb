// The saver without a window: the "window" is the screen-sized offscreen back buffer, messages
// for the user go to the standard error stream, and ending the window ends the run.
#pragma once

#include <cstdint>

struct HeadlessHostState {
    int32_t screenWidth = 0;  // the client size the renderer sizes its back buffer by
    int32_t screenHeight = 0;
    bool endRequested = false;  // the end-of-window handling ran or a quit was posted
};

// Process-wide because the window services, which the session calls without it, reach it.
extern HeadlessHostState HeadlessHost;

// The line a message for the user becomes: "tavrel: Error: <text>", on the standard error.
void PrintErrorLine(const char* text);
