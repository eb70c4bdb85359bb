#include "fake_window.h"

#include <string>

#include "call_log.h"

FakeWindowControl FakeWindow;

namespace {

void Log(const char* call, NativeWindow window, const std::string& rest = {})
{
    std::string entry = std::string(call) + " " + std::to_string(window);
    if (!rest.empty()) entry += " " + rest;
    CallLog.push_back(entry);
}

}  // namespace

void GetWindowClientSize(NativeWindow window, int32_t& width, int32_t& height)
{
    Log("GetWindowClientSize", window);
    width = FakeWindow.clientWidth;
    height = FakeWindow.clientHeight;
}

void ShowErrorMessage(NativeWindow owner, const char* text)
{
    Log("ShowErrorMessage", owner, std::string("Error: ") + text);
}

void SendDestroyMessage(NativeWindow window)
{
    Log("SendDestroyMessage", window);
    if (FakeWindow.onSendDestroy) FakeWindow.onSendDestroy();
}

void PostDestroyMessage(NativeWindow window)
{
    Log("PostDestroyMessage", window);
}

void PostQuit(int32_t exitCode)
{
    CallLog.push_back("PostQuit " + std::to_string(exitCode));
}

void ShowWindowRestoredThenMaximized(NativeWindow window)
{
    Log("ShowWindowRestoredThenMaximized", window);
}

void StartFrameTimer(NativeWindow window)
{
    Log("StartFrameTimer", window);
}

void PostCloseMessage(NativeWindow window)
{
    Log("PostCloseMessage", window);
}
