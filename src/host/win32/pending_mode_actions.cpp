#include "settings/win32/settings_dialog.h"

INT_PTR CALLBACK SettingsDialogProc(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}
