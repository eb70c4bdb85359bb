// host/window_services.h for a program whose window services are picked at run time.
#include "host/window_service_table.h"

#include "host/window_services.h"

const WindowServiceTable* WindowServices = &HeadlessWindowServices;

void GetWindowClientSize(NativeWindow window, int32_t& width, int32_t& height)
{
    WindowServices->getWindowClientSize(window, width, height);
}

void ShowErrorMessage(NativeWindow owner, const char* text)
{
    WindowServices->showErrorMessage(owner, text);
}

void SendDestroyMessage(NativeWindow window)
{
    WindowServices->sendDestroyMessage(window);
}

void PostDestroyMessage(NativeWindow window)
{
    WindowServices->postDestroyMessage(window);
}

void PostQuit(int32_t exitCode)
{
    WindowServices->postQuit(exitCode);
}

void ShowWindowRestoredThenMaximized(NativeWindow window)
{
    WindowServices->showWindowRestoredThenMaximized(window);
}

void StartFrameTimer(NativeWindow window)
{
    WindowServices->startFrameTimer(window);
}

void PostCloseMessage(NativeWindow window)
{
    WindowServices->postCloseMessage(window);
}
