// The settings dialog on Win32: the dialog procedure, and its controls and the shell as the
// dialog's rules ask for them.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include "host/saver_session.h"
#include "host/win32/dialog_services.h"
#include "host/win32/process_start.h"
#include "host/win32/settings_dialog.h"
#include "host/win32/settings_dialog_win32.h"

namespace {

// The dialog procedure's way to what the dialog holds: Windows hands it nothing of ours.
SettingsDialogState Dialog;

HWND ToHwnd(DialogWindow dialog)
{
    return reinterpret_cast<HWND>(dialog);
}

LRESULT SendToItem(DialogWindow dialog, int32_t id, UINT message, WPARAM wParam, LPARAM lParam)
{
    return SendDlgItemMessageA(ToHwnd(dialog), id, message, wParam, lParam);
}

// The process start the saver window runs too; the dialog keeps its settings.
void StartDialog(DialogWindow dialog)
{
    SaverSession start;
    InitProcess(start);
    Dialog = SettingsDialogState{};
    Dialog.Settings = start.run.Settings;
    Dialog.moduleHandle = start.run.moduleHandle;
    FreeSurfaceFields(start.run.surface);
    OnSettingsDialogInit(Dialog, dialog);
}

INT_PTR CALLBACK SettingsDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    const auto dialog = reinterpret_cast<DialogWindow>(window);
    switch (message) {
    case WM_INITDIALOG: StartDialog(dialog); break;
    case WM_COMMAND: OnSettingsDialogCommand(Dialog, dialog, LOWORD(wParam)); break;
    case WM_MOUSEMOVE:
        OnSettingsDialogMouseMove(Dialog, dialog, LOWORD(lParam), HIWORD(lParam));
        break;
    case WM_LBUTTONDOWN:
        OnSettingsDialogButtonDown(Dialog, dialog, LOWORD(lParam), HIWORD(lParam));
        break;
    case WM_CLOSE: OnSettingsDialogClose(Dialog, dialog); break;
    default: break;
    }
    // Never "handled": the focus set at start stays on Cancel, the rest is the default.
    return FALSE;
}

}  // namespace

uint32_t RunSettingsDialog(HWND parent)
{
    return static_cast<uint32_t>(
        DialogBoxParamA(GetModuleHandleA(nullptr), "CONFIG", parent, SettingsDialogProc, 0));
}

void SetDialogItemText(DialogWindow dialog, int32_t id, const char* text)
{
    SetWindowTextA(GetDlgItem(ToHwnd(dialog), id), text);
}

void SetDialogItemCheck(DialogWindow dialog, int32_t id, uint32_t checked)
{
    SendToItem(dialog, id, BM_SETCHECK, checked != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
}

uint32_t GetDialogItemCheck(DialogWindow dialog, int32_t id)
{
    return SendToItem(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
}

void EnableDialogItem(DialogWindow dialog, int32_t id, bool enabled)
{
    EnableWindow(GetDlgItem(ToHwnd(dialog), id), enabled ? TRUE : FALSE);
}

void AddDialogListEntry(DialogWindow dialog, int32_t id, const char* text)
{
    SendToItem(dialog, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
}

void SelectDialogListEntry(DialogWindow dialog, int32_t id, int32_t index)
{
    SendToItem(dialog, id, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

int32_t GetDialogListSelection(DialogWindow dialog, int32_t id)
{
    const LRESULT index = SendToItem(dialog, id, CB_GETCURSEL, 0, 0);
    return index == CB_ERR ? -1 : static_cast<int32_t>(index);
}

void SetDialogSliderPosition(DialogWindow dialog, int32_t id, uint32_t position)
{
    SendToItem(dialog, id, TBM_SETPOS, TRUE, static_cast<LPARAM>(position));
}

uint32_t GetDialogSliderPosition(DialogWindow dialog, int32_t id)
{
    return static_cast<uint32_t>(SendToItem(dialog, id, TBM_GETPOS, 0, 0));
}

void SetDialogItemBitmap(DialogWindow dialog, int32_t id, ImageBitmap* bitmap)
{
    SendToItem(dialog, id, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap));
}

bool GetDialogItemRect(DialogWindow dialog, int32_t id, DialogRect& rect)
{
    RECT frame{};
    if (!GetWindowRect(GetDlgItem(ToHwnd(dialog), id), &frame)) return false;
    POINT corners[2] = {{frame.left, frame.top}, {frame.right, frame.bottom}};
    ScreenToClient(ToHwnd(dialog), &corners[0]);
    ScreenToClient(ToHwnd(dialog), &corners[1]);
    rect = DialogRect{corners[0].x, corners[0].y, corners[1].x, corners[1].y};
    return true;
}

void FocusDialogItem(DialogWindow dialog, int32_t id)
{
    SetFocus(GetDlgItem(ToHwnd(dialog), id));
}

void EndSettingsDialog(DialogWindow dialog, int32_t result)
{
    EndDialog(ToHwnd(dialog), result);
}

void ShowHandPointer()
{
    SetCursor(LoadCursorA(nullptr, IDC_HAND));
}

void ShowStopMessage(const char* text)
{
    MessageBoxA(nullptr, text, "Error", MB_ICONHAND);
}

bool ReadBrowserCommand(char* buffer, uint32_t capacity)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, "http\\shell\\open\\command", 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS) {
        return false;
    }
    DWORD size = capacity;
    const LONG result =
        RegQueryValueExA(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

void ShellOpen(const char* file, const char* parameters)
{
    ShellExecuteA(nullptr, "open", file, parameters, nullptr, SW_SHOWNORMAL);
}
