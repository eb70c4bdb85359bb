// What the renderer asks of its window, answered for a run without one.
#include <cstdio>

#include "host/headless/headless_host.h"
#include "host/window_service_table.h"

HeadlessHostState HeadlessHost;

void PrintErrorLine(const char* text)
{
    std::fprintf(stderr, "tavrel: Error: %s\n", text);
    std::fflush(stderr);
}

namespace {

void GetWindowClientSize(NativeWindow, int32_t& width, int32_t& height)
{
    width = HeadlessHost.screenWidth;
    height = HeadlessHost.screenHeight;
}

void ShowErrorMessage(NativeWindow, const char* text)
{
    // No one is there to press OK: the message is a line on the standard error.
    PrintErrorLine(text);
}

void SendDestroyMessage(NativeWindow)
{
    HeadlessHost.endRequested = true;
}

void PostDestroyMessage(NativeWindow)
{
    HeadlessHost.endRequested = true;
}

void PostQuit(int32_t)
{
    HeadlessHost.endRequested = true;
}

void ShowWindowRestoredThenMaximized(NativeWindow) {}

// The saver session never runs headless; its window calls have nothing to do.
void StartFrameTimer(NativeWindow) {}

void PostCloseMessage(NativeWindow)
{
    HeadlessHost.endRequested = true;
}

}  // namespace

const WindowServiceTable HeadlessWindowServices = {
    GetWindowClientSize, ShowErrorMessage, SendDestroyMessage,
    PostDestroyMessage,  PostQuit,         ShowWindowRestoredThenMaximized,
    StartFrameTimer,     PostCloseMessage,
};
