#include "fake_saver_services.h"

#include <string>

#include "call_log.h"

FakeSaverServicesControl FakeSaverServices;

// The fake has one prompt; its address stands for "a password is in use".
struct PasswordPrompt {};

namespace {

PasswordPrompt ThePrompt;

}  // namespace

void HideCursor()
{
    CallLog.push_back("HideCursor");
}

void ShowArrowCursor()
{
    CallLog.push_back("ShowArrowCursor");
}

void GetCursorPosition(int32_t& x, int32_t& y)
{
    CallLog.push_back("GetCursorPosition");
    x = FakeSaverServices.cursorX;
    y = FakeSaverServices.cursorY;
}

void SetCursorPosition(int32_t x, int32_t y)
{
    CallLog.push_back("SetCursorPosition " + std::to_string(x) + " " + std::to_string(y));
    FakeSaverServices.cursorX = x;
    FakeSaverServices.cursorY = y;
}

PasswordPrompt* OpenPasswordPrompt()
{
    const bool inUse = FakeSaverServices.passwordInUse;
    CallLog.push_back(std::string("OpenPasswordPrompt -> ") + (inUse ? "prompt" : "none"));
    return inUse ? &ThePrompt : nullptr;
}

uint32_t AskPassword(PasswordPrompt*, NativeWindow owner)
{
    const std::vector<uint32_t>& answers = FakeSaverServices.passwordAnswers;
    const size_t asked = FakeSaverServices.promptsAsked++;
    const uint32_t answer = asked < answers.size() ? answers[asked] : 1;
    CallLog.push_back("AskPassword " + std::to_string(owner));
    if (FakeSaverServices.whilePromptIsOpen) FakeSaverServices.whilePromptIsOpen();
    CallLog.push_back("AskPassword -> " + std::to_string(answer));
    return answer;
}

void ClosePasswordPrompt(PasswordPrompt* prompt)
{
    if (prompt != nullptr) CallLog.push_back("ClosePasswordPrompt");
}

void CaptureKeyboard(NativeWindow window)
{
    CallLog.push_back("CaptureKeyboard " + std::to_string(window));
}

void ReleaseKeyboard()
{
    CallLog.push_back("ReleaseKeyboard");
}

void ReportSaverRunning(uint32_t on)
{
    CallLog.push_back("ReportSaverRunning " + std::to_string(on));
}
