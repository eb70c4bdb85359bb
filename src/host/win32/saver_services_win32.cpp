// The saver session's window, pointer and running-state services on Win32, and what the
// renderer asks of the saver window.
#include <windows.h>

#include "host/cursor_services.h"
#include "host/running_state.h"
#include "host/saver_session.h"
#include "host/window_services.h"

namespace {

HWND ToHwnd(NativeWindow window)
{
    return reinterpret_cast<HWND>(window);
}

}  // namespace

void GetWindowClientSize(NativeWindow window, int32_t& width, int32_t& height)
{
    RECT client{};
    GetClientRect(ToHwnd(window), &client);
    width = client.right - client.left;
    height = client.bottom - client.top;
}

void ShowErrorMessage(NativeWindow owner, const char* text)
{
    MessageBoxA(ToHwnd(owner), text, "Error", MB_OK);
}

void SendDestroyMessage(NativeWindow window)
{
    SendMessageA(ToHwnd(window), WM_DESTROY, 0, 0);
}

void PostDestroyMessage(NativeWindow window)
{
    PostMessageA(ToHwnd(window), WM_DESTROY, 0, 0);
}

void PostQuit(int32_t exitCode)
{
    PostQuitMessage(exitCode);
}

void ShowWindowRestoredThenMaximized(NativeWindow window)
{
    ShowWindow(ToHwnd(window), SW_RESTORE);
    ShowWindow(ToHwnd(window), SW_SHOWMAXIMIZED);
}

void StartFrameTimer(NativeWindow window)
{
    SetTimer(ToHwnd(window), FrameTimerId, FrameTimerPeriodMs, nullptr);
}

void PostCloseMessage(NativeWindow window)
{
    PostMessageA(ToHwnd(window), WM_CLOSE, 0, 0);
}

void HideCursor()
{
    SetCursor(nullptr);
}

void ShowArrowCursor()
{
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
}

void GetCursorPosition(int32_t& x, int32_t& y)
{
    POINT point{};
    GetCursorPos(&point);
    x = point.x;
    y = point.y;
}

void SetCursorPosition(int32_t x, int32_t y)
{
    SetCursorPos(x, y);
}

void ReportSaverRunning(uint32_t on)
{
    // Nothing reads the previous state, but the system writes it somewhere.
    UINT previous = 0;
    SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, on, &previous, 0);
}
