#include "host/saver_session.h"

#include "host/cursor_services.h"
#include "host/host_state.h"
#include "host/keyboard_services.h"
#include "host/password_services.h"
#include "host/running_state.h"
#include "host/window_services.h"
#include "render/device_lifecycle.h"
#include "render/frame_clock.h"
#include "render/frame_loop.h"
#include "render/renderer.h"
#include "render/scene.h"
#include "settings/settings.h"
#include "support/clock.h"
#include "support/heap.h"
#include "surface/falloff_table.h"
#include "surface/height_field.h"
#include "surface/normal_field.h"

namespace {

constexpr uint32_t EndAfterMoves = 5;  // the sixth counted change ends, not the fifth

bool InSaverMode()
{
    return Host.previewFlag == 0;
}

}  // namespace

void OnSaverCreate(NativeWindow window)
{
    if (InSaverMode()) {
        HideCursor();
        ReportSaverRunning(1);
    }
    StartFrameTimer(window);
}

void StartRendering(NativeWindow window, uint32_t previewFlag)
{
    if (Host.windowClosed != 0) return;
    CreateRenderDevice(window, static_cast<int32_t>(previewFlag));
    if (!HasRenderDevice()) {
        PostQuit(0);
        return;
    }
    CaptureKeyboard(window);
    SetupScene();
}

void ParkCursor()
{
    // A start that failed has already run the end-of-window handling: the pointer was never
    // moved, so it stays where the user left it.
    if (!InSaverMode() || Host.windowDestroyed != 0) return;
    GetCursorPosition(Host.savedCursorX, Host.savedCursorY);
    Host.cursorParked = 1;
    SetCursorPosition(ParkedCursorX, ParkedCursorY);
}

void OnSaverTimer()
{
    OnFrameTick();
}

void OnSaverTimerAfterSkips(bool& skippedTicks)
{
    if (skippedTicks) {
        skippedTicks = false;
        Clock.lastCount = QueryCounter();
    }
    OnSaverTimer();
}

bool TakeDueTick(int64_t now, int64_t& nextTickNs)
{
    if (now < nextTickNs) return false;
    nextTickNs += FrameTimerPeriodNs;
    if (nextTickNs <= now) nextTickNs = now + FrameTimerPeriodNs;
    return true;
}

void OnSaverMouseMove(uint32_t x, uint32_t y)
{
    if (!InSaverMode()) return;
    HideCursor();
    x &= 0xFFFF;
    y &= 0xFFFF;
    if (x != Host.lastMouseX) {
        Host.lastMouseX = x;
        ++Host.mouseMoveCount;
    }
    if (y != Host.lastMouseY) {
        Host.lastMouseY = y;
        ++Host.mouseMoveCount;
    }
    if (Host.mouseMoveCount > EndAfterMoves) {
        Host.mouseMoveCount = 0;
        RequestEnd();
    }
}

void OnSaverKeyDown()
{
    if (InSaverMode()) RequestEnd();
}

void OnSaverButtonDown()
{
    if (InSaverMode()) RequestEnd();
}

void OnSaverActivateApp(bool active)
{
    if (!active && InSaverMode()) RequestEnd();
}

void OnSaverPowerSuspend()
{
    RequestEnd();
}

bool OnSaverSetCursor()
{
    if (Host.mode != SaverMode::Saver || Host.passwordDialogActive != 0) return false;
    HideCursor();
    return true;
}

bool OnSaverSystemCommand(SystemCommand command)
{
    return InSaverMode() && command != SystemCommand::Other;
}

void OnSaverClose()
{
    Host.windowClosed = 1;
    ReleaseSceneResources();
    SaveSettings();
    ShutDownRenderer();
    ReleaseKeyboard();
}

void OnSaverDestroy()
{
    Host.windowDestroyed = 1;
    if (InSaverMode()) {
        ShowArrowCursor();
        if (Host.cursorParked != 0) SetCursorPosition(Host.savedCursorX, Host.savedCursorY);
        ReportSaverRunning(0);
    }
    PostQuit(0);
}

void CloseSaverWith(const SaverSettings& stored)
{
    if (Host.windowClosed == 0) {
        Settings = stored;
        OnSaverClose();
    }
    if (Host.windowDestroyed == 0) OnSaverDestroy();
}

void ReleaseUnclosedRun()
{
    if (Host.windowClosed != 0) return;
    ReleaseSceneResources();
    CloseRenderer(SaverRenderer);
    FreeAllocation(HeightField);
    HeightField = nullptr;
    FreeAllocation(NormalField);
    NormalField = nullptr;
    FreeAllocation(FalloffTable);
    FalloffTable = nullptr;
}

void RequestEnd()
{
    if (Host.endAccepted != 0 || Host.passwordDialogActive != 0) return;
    ReportSaverRunning(1);
    SuspendRenderer(Host.saverWindow);
    const uint32_t accepted = VerifyPassword();
    if (accepted != 0) {
        Host.endAccepted = accepted;
        PostCloseMessage(Host.saverWindow);
        return;
    }
    ReportSaverRunning(1);
    ResumeRenderer(Host.saverWindow);
}

uint32_t VerifyPassword()
{
    PasswordPrompt* prompt = OpenPasswordPrompt();
    if (prompt == nullptr) return 1;
    Host.passwordDialogActive = 1;
    ReportSaverRunning(1);
    const uint32_t accepted = AskPassword(prompt, Host.saverWindow);
    ClosePasswordPrompt(prompt);
    Host.passwordDialogActive = 0;
    return accepted;
}
