// The screensaver password through the system's modules, loaded by name when needed and let
// go right after: the control-panel module checks it, the provider router changes it.
#include <windows.h>

#include "host/password_services.h"
#include "host/win32/password_hooks.h"
#include "host/win32/process_start.h"

struct PasswordPrompt {
    HMODULE module = nullptr;
    BOOL(WINAPI* verify)(HWND) = nullptr;
};

namespace {

using ChangePasswordRoutine = DWORD(WINAPI*)(LPCSTR, HWND, DWORD, DWORD);

PasswordPrompt ThePrompt;

// The password flag, read as up to four bytes of any type into a zeroed integer: a text "0"
// counts by its character code. No key, no value or a longer value: no password.
DWORD PasswordFlag()
{
    HKEY key = nullptr;
    if (RegOpenKeyA(HKEY_CURRENT_USER, "Control Panel\\Desktop", &key) != ERROR_SUCCESS) return 0;
    DWORD flag = 0;
    DWORD size = sizeof flag;
    const LONG result = RegQueryValueExA(key, "ScreenSaveUsePassword", nullptr, nullptr,
                                         reinterpret_cast<BYTE*>(&flag), &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS ? flag : 0;
}

template <typename Routine>
Routine FindRoutine(HMODULE module, const char* name)
{
    return reinterpret_cast<Routine>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace

PasswordPrompt* OpenPasswordPrompt()
{
    if (PasswordFlag() == 0) return nullptr;
    const HMODULE module = LoadLibraryA("PASSWORD.CPL");
    if (module == nullptr) return nullptr;
    const auto verify = FindRoutine<BOOL(WINAPI*)(HWND)>(module, "VerifyScreenSavePwd");
    if (verify == nullptr) {
        FreeLibrary(module);
        return nullptr;
    }
    ThePrompt = PasswordPrompt{module, verify};
    return &ThePrompt;
}

uint32_t AskPassword(PasswordPrompt* prompt, NativeWindow owner)
{
    return static_cast<uint32_t>(prompt->verify(reinterpret_cast<HWND>(owner)));
}

void ClosePasswordPrompt(PasswordPrompt* prompt)
{
    if (prompt == nullptr || prompt->module == nullptr) return;
    FreeLibrary(prompt->module);
    *prompt = PasswordPrompt{};
}

uint32_t ChangePassword(uint32_t parentWindow)
{
    const HWND parent = WindowFromNumber(parentWindow);
    const HMODULE module = LoadLibraryA("MPR.DLL");
    if (module == nullptr) {
        MessageBoxA(parent, "Can't load MPR.DLL", "Error", MB_ICONEXCLAMATION);
        return 0;
    }
    const auto change = FindRoutine<ChangePasswordRoutine>(module, "PwdChangePasswordA");
    if (change == nullptr) {
        MessageBoxA(parent, "Can't get PwdChangePassword", "Error", MB_ICONEXCLAMATION);
        FreeLibrary(module);
        return 0;
    }
    change("SCRSAVE", parent, 0, 0);
    FreeLibrary(module);
    return 1;
}
