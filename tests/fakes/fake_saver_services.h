// Fakes of the saver session's services (pointer, password prompt, keyboard, running-state
// report). Every call goes into CallLog:
//   "HideCursor"  "ShowArrowCursor"  "GetCursorPosition"  "SetCursorPosition -10 -10"
//   "OpenPasswordPrompt -> prompt" (or "-> none")  "AskPassword 77" ... "AskPassword -> 0"
//   "ClosePasswordPrompt" "CaptureKeyboard 77"  "ReleaseKeyboard"  "ReportSaverRunning 1"
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "host/cursor_services.h"
#include "host/keyboard_services.h"
#include "host/password_services.h"
#include "host/running_state.h"

struct FakeSaverServicesControl {
    int32_t cursorX = 0;  // where GetCursorPosition finds the pointer; SetCursorPosition moves it
    int32_t cursorY = 0;
    bool passwordInUse = false;
    // The answers of the prompt, one per AskPassword; 1 once they are used up.
    std::vector<uint32_t> passwordAnswers;
    // Runs inside AskPassword, as the prompt's own message loop dispatches the window's events.
    std::function<void()> whilePromptIsOpen;
    size_t promptsAsked = 0;
};

extern FakeSaverServicesControl FakeSaverServices;
