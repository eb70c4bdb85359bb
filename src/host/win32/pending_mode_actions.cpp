#include "host/win32/password_hooks.h"
#include "host/win32/saver_window.h"
#include "settings/win32/settings_dialog.h"

uint32_t RunSaverWindow(uint32_t)
{
    return 0;
}

uint32_t ChangePassword(uint32_t)
{
    return 0;
}

INT_PTR CALLBACK SettingsDialogProc(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}
