// The settings dialog "CONFIG", shown in Config mode.
#pragma once

#include <windows.h>

// The dialog procedure; FALSE for every message.
INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
