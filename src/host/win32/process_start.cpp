#include "host/win32/process_start.h"

#include "host/saver_session.h"
#include "host/win32/command_line.h"
#include "host/win32/password_hooks.h"
#include "host/win32/saver_window.h"
#include "host/win32/settings_dialog_win32.h"
#include "surface/win32/capture_gdi.h"

uint32_t RunCommandLine(const char* className)
{
    const CommandLineChoice choice = ScanCommandLine(GetCommandLineA());
    switch (choice.mode) {
    case SaverMode::Saver:
    case SaverMode::Preview: {
        SaverSession session;
        session.mode = choice.mode;
        session.previewFlag = choice.previewFlag;
        return RunSaverWindow(session, className, choice.parentWindow);
    }
    case SaverMode::Config: return RunSettingsDialog(WindowFromNumber(choice.parentWindow));
    case SaverMode::ChangePassword: return ChangePassword(choice.parentWindow);
    }
    return 0;
}

void InitProcess(SaverSession& session)
{
    SaverRun& run = session.run;
    run.moduleHandle = reinterpret_cast<uintptr_t>(GetModuleHandleA(nullptr));
    StartSaverRun(run);

    // The working directory becomes the program's folder. A module path that does not fit the
    // buffers was cut short and would name the wrong folder: then the directory stays as it is.
    char moduleName[1024];
    char fullPath[1024];
    const DWORD nameLength = GetModuleFileNameA(reinterpret_cast<HMODULE>(run.moduleHandle),
                                                moduleName, sizeof moduleName);
    if (nameLength > 0 && nameLength < sizeof moduleName) {
        const DWORD fullLength = GetFullPathNameA(moduleName, sizeof fullPath, fullPath, nullptr);
        if (CutPathToFolder(fullPath, fullLength, sizeof fullPath)) SetCurrentDirectoryA(fullPath);
    }

    // A screen that cannot be read still gets its saver: a flat surface of the screen's size.
    if (!CaptureDesktop(run.surface)) {
        UseFlatHeightField(run.surface, GetSystemMetrics(SM_CXSCREEN),
                           GetSystemMetrics(SM_CYSCREEN));
    }
}
