// The keyboard held through DirectInput 8 while the saver window is up. No state is read:
// holding it is the point, and a failed step changes nothing else.
#include <windows.h>

#define DIRECTINPUT_VERSION 0x0800
#include <dinput.h>

#include "host/keyboard_services.h"

namespace {

IDirectInput8A* Input = nullptr;
IDirectInputDevice8A* Keyboard = nullptr;

}  // namespace

void CaptureKeyboard(NativeWindow window)
{
    if (Input != nullptr) return;
    if (FAILED(DirectInput8Create(GetModuleHandleA(nullptr), DIRECTINPUT_VERSION,
                                  IID_IDirectInput8A, reinterpret_cast<void**>(&Input), nullptr))) {
        Input = nullptr;
        return;
    }
    // The later steps need the device; without one the interface waits for the release.
    if (FAILED(Input->CreateDevice(GUID_SysKeyboard, &Keyboard, nullptr))) {
        Keyboard = nullptr;
        return;
    }
    Keyboard->SetDataFormat(&c_dfDIKeyboard);
    Keyboard->SetCooperativeLevel(reinterpret_cast<HWND>(window),
                                  DISCL_EXCLUSIVE | DISCL_BACKGROUND);
    Keyboard->Acquire();
}

void ReleaseKeyboard()
{
    if (Keyboard != nullptr) {
        Keyboard->Unacquire();
        Keyboard->Release();
        Keyboard = nullptr;
    }
    if (Input != nullptr) {
        Input->Release();
        Input = nullptr;
    }
}
