// harness-probe: a small Win32 program that shows the Wine harness itself working, so that a
// failing saver test can be told apart from a broken harness. It behaves like a screensaver in the
// ways the harness observes, drawn with GDI:
//
//   /s        full-screen topmost popup "Quarlin Screensaver", black with moving discs and a red
//             caption at the bottom left; parks the cursor and puts it back at the end; ends at
//             the sixth counted mouse change, a key, a button, a suspend broadcast or another
//             program becoming active, after asking PASSWORD.CPL when "ScreenSaveUsePassword" is
//             set; counts its runs in the registry
//   /p HWND   a child window filling HWND until it is destroyed
//   /a [HWND] calls MPR.DLL's PwdChangePasswordA, or says why it cannot
//   /c        a settings dialog (check box, list, slider, link button) stored on OK
//   /crash    dies of an access violation
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "harness_probe.h"

namespace {

const char WindowClass[] = "Quarlin Screensaver";
const char ProbeKey[] = "Control Panel\\Desktop\\Harness Probe";
const char SaverKey[] = "Control Panel\\Desktop\\3D Tavrel Screensaver";

bool preview = false;
bool endAccepted = false;
bool asking = false;
POINT savedCursor{};
unsigned mouseChanges = 0;
unsigned lastX = 0, lastY = 0;
DWORD spots = 3;
COLORREF spotColor = RGB(0, 255, 255);
bool showClock = true;
DWORD generation = 0;

DWORD ReadDword(HKEY root, const char* key, const char* name, DWORD fallback)
{
    DWORD value = 0, size = sizeof value;
    if (RegGetValueA(root, key, name, RRF_RT_ANY, nullptr, &value, &size) != ERROR_SUCCESS ||
        size > 4) {
        return fallback;
    }
    return value;
}

void WriteDword(const char* name, DWORD value)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, ProbeKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                        nullptr) != 0) {
        return;
    }
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
}

void LoadLook()
{
    static const COLORREF colors[] = {RGB(255, 255, 255), RGB(255, 0, 0),   RGB(0, 255, 0),
                                      RGB(0, 0, 255),     RGB(255, 255, 0), RGB(255, 0, 255),
                                      RGB(0, 255, 255),   RGB(0, 255, 255)};
    const DWORD lights = ReadDword(HKEY_CURRENT_USER, SaverKey, "[Num Lights]", 2);
    spots = lights <= 3 ? lights + 1 : 5;
    spotColor = colors[ReadDword(HKEY_CURRENT_USER, SaverKey, "[Color Light]", 6) & 7];
    showClock = ReadDword(HKEY_CURRENT_USER, SaverKey, "[bTime]", 1) != 0;
}

// The saver's password round trip, without the renderer.
bool MayEnd(HWND window)
{
    if (ReadDword(HKEY_CURRENT_USER, "Control Panel\\Desktop", "ScreenSaveUsePassword", 0) == 0)
        return true;
    HMODULE library = LoadLibraryA("PASSWORD.CPL");
    if (!library) return true;
    auto verify = reinterpret_cast<BOOL(WINAPI*)(HWND)>(
        reinterpret_cast<void*>(GetProcAddress(library, "VerifyScreenSavePwd")));
    BOOL ok = TRUE;
    if (verify) {
        asking = true;
        ok = verify(window);
        asking = false;
    }
    FreeLibrary(library);
    return ok != FALSE;
}

void RequestEnd(HWND window)
{
    if (endAccepted || asking) return;
    if (MayEnd(window)) {
        endAccepted = true;
        PostMessageA(window, WM_CLOSE, 0, 0);
    } else {
        ++generation;
        LoadLook();
    }
}

void Paint(HWND window)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    RECT r;
    GetClientRect(window, &r);
    FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    const double t = GetTickCount() / 1000.0 + generation * 7.0;
    HBRUSH brush = CreateSolidBrush(spotColor);
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
    for (DWORD i = 0; i < spots; ++i) {
        const int x =
            static_cast<int>((r.right - 256) * (0.5 + 0.5 * std::sin(t * (0.7 + 0.3 * i) + i)));
        const int y = static_cast<int>((r.bottom - 256) *
                                       (0.5 + 0.5 * std::cos(t * (0.5 + 0.2 * i) + 2 * i)));
        Ellipse(dc, x + 28, y + 28, x + 228, y + 228);
    }
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(brush);
    if (!preview) {
        HFONT font = CreateFontA(20, 0, 0, 0, FW_BOLD, 0, 0, 0, ANSI_CHARSET, 0, 0,
                                 NONANTIALIASED_QUALITY, 0, "Arial");
        HGDIOBJ oldFont = SelectObject(dc, font);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(204, 34, 34));
        const char caption[] = "Harness probe (c) www.lumenwright.example";
        TextOutA(dc, 0, r.bottom - 31, caption, static_cast<int>(std::strlen(caption)));
        if (showClock) {
            SYSTEMTIME now;
            GetLocalTime(&now);
            char clock[16];
            std::snprintf(clock, sizeof clock, "%02u : %02u", now.wHour, now.wMinute);
            TextOutA(dc, 0, 0, clock, static_cast<int>(std::strlen(clock)));
        }
        SelectObject(dc, oldFont);
        DeleteObject(font);
    }
    EndPaint(window, &ps);
}

LRESULT CALLBACK ProbeWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: SetTimer(window, 1000, 28, nullptr); break;
    case WM_TIMER: InvalidateRect(window, nullptr, FALSE); return 0;
    case WM_PAINT: Paint(window); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_SETCURSOR:
        if (!preview) {
            SetCursor(nullptr);
            return TRUE;
        }
        break;
    case WM_MOUSEMOVE:
        if (!preview) {
            const unsigned x = LOWORD(lParam), y = HIWORD(lParam);
            if (x != lastX) ++mouseChanges, lastX = x;
            if (y != lastY) ++mouseChanges, lastY = y;
            if (mouseChanges > 5) {
                mouseChanges = 0;
                RequestEnd(window);
            }
        }
        break;
    case WM_KEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        if (!preview) RequestEnd(window);
        break;
    case WM_ACTIVATEAPP:
        if (!preview && wParam == 0) RequestEnd(window);
        break;
    case WM_SYSCOMMAND:
        if (!preview && (wParam == SC_CLOSE || wParam == SC_SCREENSAVE || wParam == SC_NEXTWINDOW ||
                         wParam == SC_PREVWINDOW)) {
            return 0;
        }
        break;
    case WM_POWERBROADCAST:
        if (wParam == PBT_APMSUSPEND) RequestEnd(window);
        break;
    case WM_CLOSE: WriteDword("Runs", ReadDword(HKEY_CURRENT_USER, ProbeKey, "Runs", 0) + 1); break;
    case WM_DESTROY:
        if (!preview) SetCursorPos(savedCursor.x, savedCursor.y);
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int RunWindow(HWND parent)
{
    preview = parent != nullptr;
    if (preview && !IsWindow(parent)) return 0;
    LoadLook();
    WNDCLASSA wc{};
    wc.lpfnWndProc = ProbeWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = WindowClass;
    if (!RegisterClassA(&wc)) return 0;
    RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (preview) GetClientRect(parent, &area);
    HWND window = CreateWindowExA(preview ? 0 : WS_EX_TOPMOST, WindowClass, WindowClass,
                                  preview ? WS_CHILD | WS_VISIBLE : WS_POPUP | WS_VISIBLE, 0, 0,
                                  area.right, area.bottom, parent, nullptr, wc.hInstance, nullptr);
    if (!window) return 0;
    if (!preview) {
        GetCursorPos(&savedCursor);
        SetCursorPos(-10, -10);
        std::printf("probe: cursor saved at %ld,%ld\n", savedCursor.x, savedCursor.y);
        std::fflush(stdout);
    }
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}

int ChangePassword(HWND parent)
{
    HMODULE library = LoadLibraryA("MPR.DLL");
    if (!library) {
        MessageBoxA(parent, "Can't load MPR.DLL", "Error", MB_ICONEXCLAMATION);
        return 0;
    }
    auto change = reinterpret_cast<DWORD(WINAPI*)(LPCSTR, HWND, DWORD, void*)>(
        reinterpret_cast<void*>(GetProcAddress(library, "PwdChangePasswordA")));
    if (!change) {
        MessageBoxA(parent, "Can't get PwdChangePassword", "Error", MB_ICONEXCLAMATION);
        FreeLibrary(library);
        return 0;
    }
    change("SCRSAVE", parent, 0, nullptr);
    FreeLibrary(library);
    return 1;
}

void OpenInBrowser(const char* url)
{
    char command[1024] = "";
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, "http\\shell\\open\\command", 0, KEY_QUERY_VALUE, &key) ==
        0) {
        DWORD size = sizeof command - 1;
        RegQueryValueExA(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(command), &size);
        RegCloseKey(key);
    }
    char* program = command[0] == '"' ? command + 1 : command;
    char* exe = std::strstr(program, ".exe");
    if (!exe) exe = std::strstr(program, ".EXE");
    if (exe) exe[4] = '\0';
    ShellExecuteA(nullptr, "open", program, url, nullptr, SW_SHOWNORMAL);
}

INT_PTR CALLBACK ProbeDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    static const char* const colors[] = {"White",  "Red",    "Green", "Blue",
                                         "Yellow", "Purple", "Cyan",  "Random"};
    if (message == WM_INITDIALOG) {
        for (const char* c : colors)
            SendDlgItemMessageA(dialog, ProbeColorList, CB_ADDSTRING, 0,
                                reinterpret_cast<LPARAM>(c));
        SendDlgItemMessageA(dialog, ProbeColorList, CB_SETCURSEL,
                            ReadDword(HKEY_CURRENT_USER, ProbeKey, "Color", 6), 0);
        SendDlgItemMessageA(dialog, ProbeTimeCheck, BM_SETCHECK,
                            ReadDword(HKEY_CURRENT_USER, ProbeKey, "Time", 1), 0);
        SendDlgItemMessageA(dialog, ProbeSpeedSlider, TBM_SETPOS, TRUE,
                            ReadDword(HKEY_CURRENT_USER, ProbeKey, "Speed", 50));
        return TRUE;
    }
    if (message == WM_COMMAND) {
        switch (LOWORD(wParam)) {
        case IDOK:
            WriteDword("Time", static_cast<DWORD>(
                                   SendDlgItemMessageA(dialog, ProbeTimeCheck, BM_GETCHECK, 0, 0)));
            WriteDword("Color", static_cast<DWORD>(SendDlgItemMessageA(dialog, ProbeColorList,
                                                                       CB_GETCURSEL, 0, 0)));
            WriteDword("Speed", static_cast<DWORD>(SendDlgItemMessageA(dialog, ProbeSpeedSlider,
                                                                       TBM_GETPOS, 0, 0)));
            EndDialog(dialog, 0);
            return TRUE;
        case IDCANCEL: EndDialog(dialog, 1); return TRUE;
        case ProbeLinkButton:
            OpenInBrowser("http://www.lumenwright.example/Desktop/Screen-Savers/");
            return TRUE;
        }
    }
    return FALSE;
}

HWND WindowArgument(const char* text)
{
    return reinterpret_cast<HWND>(static_cast<ULONG_PTR>(std::strtoull(text, nullptr, 10)));
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    const char* args = commandLine;
    while (*args == ' ') ++args;
    if (std::strncmp(args, "/crash", 6) == 0)
        RaiseException(EXCEPTION_ACCESS_VIOLATION, 0, 0, nullptr);
    if (std::strncmp(args, "/s", 2) == 0) return RunWindow(nullptr);
    if (std::strncmp(args, "/p", 2) == 0) return RunWindow(WindowArgument(args + 2));
    if (std::strncmp(args, "/a", 2) == 0) {
        ChangePassword(WindowArgument(args + 2));
        return 0;
    }
    if (std::strncmp(args, "/c", 2) == 0) {
        return static_cast<int>(
            DialogBoxParamA(instance, MAKEINTRESOURCEA(ProbeDialog), nullptr, ProbeDialogProc, 0));
    }
    return 2;
}
