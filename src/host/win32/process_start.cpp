#include "host/win32/process_start.h"

#include "host/host_state.h"
#include "host/win32/command_line.h"
#include "host/win32/password_hooks.h"
#include "host/win32/saver_window.h"
#include "settings/settings.h"
#include "settings/win32/settings_dialog.h"
#include "support/ranmar.h"
#include "surface/height_field.h"

uint32_t RunCommandLine(const char* className)
{
    Host.className = className;
    Host.moduleHandle = reinterpret_cast<uintptr_t>(GetModuleHandleA(nullptr));
    const CommandLineChoice choice = ScanCommandLine(GetCommandLineA());
    Host.mode = choice.mode;
    Host.previewFlag = choice.previewFlag;
    Host.parentWindow = choice.parentWindow;

    switch (Host.mode) {
    case SaverMode::Saver:
    case SaverMode::Preview: return RunSaverWindow(Host.parentWindow);
    case SaverMode::Config:
        return static_cast<uint32_t>(DialogBoxParamA(reinterpret_cast<HINSTANCE>(Host.moduleHandle),
                                                     "CONFIG", WindowFromNumber(Host.parentWindow),
                                                     SettingsDialogProc, 0));
    case SaverMode::ChangePassword: return ChangePassword(Host.parentWindow);
    }
    return 0;
}

void InitProcess()
{
    Host.moduleHandle = reinterpret_cast<uintptr_t>(GetModuleHandleA(nullptr));

    SeedFromClock();

    LoadSettings();

    // The working directory becomes the program's folder. A module path that does not fit the
    // buffers was cut short and would name the wrong folder: then the directory stays as it is.
    char moduleName[1024];
    char fullPath[1024];
    const DWORD nameLength = GetModuleFileNameA(reinterpret_cast<HMODULE>(Host.moduleHandle),
                                                moduleName, sizeof moduleName);
    if (nameLength > 0 && nameLength < sizeof moduleName) {
        const DWORD fullLength = GetFullPathNameA(moduleName, sizeof fullPath, fullPath, nullptr);
        if (CutPathToFolder(fullPath, fullLength, sizeof fullPath)) SetCurrentDirectoryA(fullPath);
    }

    // A screen that cannot be read still gets its saver: a flat surface of the screen's size.
    if (!CaptureDesktop()) {
        UseFlatHeightField(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    }
}
