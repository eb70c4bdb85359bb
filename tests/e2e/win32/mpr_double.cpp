// Stands in for the system's MPR.DLL in the Wine runs (Wine's own one returns at once and shows
// nothing). Run the program under test with WINEDLLOVERRIDES="...;mpr=n,b" and this file, named
// MPR.DLL, beside it. Built twice: with the change-password entry, and without it
// (MPR_DOUBLE_WITHOUT_CHANGE_PASSWORD) to stand for a router that lacks it.
//
// MPR_DOUBLE_LOG: a file (Windows path) that gets one line per call with the arguments.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#ifndef MPR_DOUBLE_WITHOUT_CHANGE_PASSWORD
extern "C" __declspec(dllexport) DWORD WINAPI
    PwdChangePasswordA(LPCSTR provider, HWND window, DWORD flags, void* reserved)
{
    const char* logEnv = std::getenv("MPR_DOUBLE_LOG");
    if (FILE* f = std::fopen(logEnv && *logEnv ? logEnv : "mpr_double.log", "ab")) {
        std::fprintf(
            f,
            "PwdChangePasswordA\tprovider=%s\twindow=%lu\tis_window=%d\tflags=%lu\treserved=%p\n",
            provider ? provider : "(null)",
            static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(window)),
            IsWindow(window) ? 1 : 0, static_cast<unsigned long>(flags), reserved);
        std::fclose(f);
    }
    return 0;
}
#endif

// Some other entry, so that the variant without PwdChangePasswordA is still a library that exports
// something, as a real router would.
extern "C" __declspec(dllexport) DWORD WINAPI
    WNetGetLastErrorA(DWORD* error, char* text, DWORD textSize, char* provider, DWORD providerSize)
{
    if (error) *error = 0;
    if (text && textSize) *text = '\0';
    if (provider && providerSize) *provider = '\0';
    return 0;
}
