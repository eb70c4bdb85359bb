#include <windows.h>

#include <commctrl.h>

#include "host/win32/process_start.h"

// The settings dialog's slider lives in the common controls library. Importing one of its
// functions makes the library load with the process; nothing needs to call it.
[[gnu::used]] static void(WINAPI* const CommonControlsImport)() = InitCommonControls;

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    RunCommandLine("Quarlin Screensaver");
    ExitProcess(0);
}
