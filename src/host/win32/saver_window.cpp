// The saver's window in Saver and Preview mode: the class, the window, the message loop, and
// the window procedure that turns messages into saver-session calls.
#include <windows.h>

#include "host/saver_session.h"
#include "host/win32/process_start.h"
#include "host/win32/saver_window.h"

namespace {

constexpr WORD IconResource = 100;

// The window procedure's way to the session: Windows hands it nothing of ours.
SaverSession* WindowSession = nullptr;

SystemCommand ToSystemCommand(WPARAM command)
{
    // Exactly these values: a command with its low bits set is another command.
    switch (command) {
    case SC_NEXTWINDOW: return SystemCommand::NextWindow;
    case SC_PREVWINDOW: return SystemCommand::PreviousWindow;
    case SC_CLOSE: return SystemCommand::Close;
    case SC_SCREENSAVE: return SystemCommand::ScreenSave;
    default: return SystemCommand::Other;
    }
}

// The second stage, for every message but the swallowed system commands.
LRESULT BaseWindowProc(SaverSession& session, HWND window, UINT message, WPARAM wParam,
                       LPARAM lParam)
{
    switch (message) {
    case WM_TIMER: OnSaverTimer(session); break;
    case WM_CLOSE: OnSaverClose(session); break;  // default processing destroys the window
    case WM_DESTROY: OnSaverDestroy(session); return 0;
    default: break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK SaverWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    SaverSession& session = *WindowSession;
    switch (message) {
    case WM_CREATE: OnSaverCreate(session, reinterpret_cast<NativeWindow>(window)); break;
    case WM_SETCURSOR: OnSaverSetCursor(session); break;
    case WM_MOUSEMOVE: OnSaverMouseMove(session, LOWORD(lParam), HIWORD(lParam)); break;
    case WM_KEYDOWN: OnSaverKeyDown(session); break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN: OnSaverButtonDown(session); break;
    case WM_SYSCOMMAND:
        if (OnSaverSystemCommand(session, ToSystemCommand(wParam))) return 0;
        break;
    case WM_ACTIVATEAPP: OnSaverActivateApp(session, wParam != 0); break;
    case WM_POWERBROADCAST:
        if (wParam == PBT_APMSUSPEND) OnSaverPowerSuspend(session);
        break;
    default: break;
    }
    return BaseWindowProc(session, window, message, wParam, lParam);
}

}  // namespace

uint32_t RunSaverWindow(SaverSession& session, const char* className, uint32_t parentWindow)
{
    WindowSession = &session;
    InitProcess(session);

    const HINSTANCE module = reinterpret_cast<HINSTANCE>(session.run.moduleHandle);
    const HICON icon = LoadIconA(module, MAKEINTRESOURCEA(IconResource));
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = SaverWindowProc;
    windowClass.hInstance = module;
    windowClass.hIcon = icon;
    windowClass.hIconSm = icon;
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = className;
    if (RegisterClassExA(&windowClass) == 0) return 0;

    const HWND parent = WindowFromNumber(parentWindow);
    DWORD style = WS_VISIBLE | WS_POPUP;
    int width = GetSystemMetrics(SM_CXSCREEN);
    int height = GetSystemMetrics(SM_CYSCREEN);
    if (session.previewFlag != 0) {
        // The parent's whole window rectangle; a handle that names no window gives none, and
        // the creation below fails.
        RECT frame{};
        GetWindowRect(parent, &frame);
        style = WS_VISIBLE | WS_CHILD;
        width = frame.right - frame.left;
        height = frame.bottom - frame.top;
    }
    const HWND window = CreateWindowExA(WS_EX_TOPMOST, className, className, style, 0, 0, width,
                                        height, parent, nullptr, module, nullptr);
    session.saverWindow = reinterpret_cast<NativeWindow>(window);
    if (window == nullptr) return 0;

    ShowWindow(window, SW_SHOWNORMAL);
    StartRendering(session, session.saverWindow);
    ParkCursor(session);

    // Polls without waiting: the timer sets the frame rate, the loop only hands messages on.
    MSG message{};
    for (;;) {
        if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) continue;
        if (message.message == WM_QUIT) break;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<uint32_t>(message.wParam);
}
