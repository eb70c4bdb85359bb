#include "host/saver_session.h"

#include "host/cursor_services.h"
#include "host/keyboard_services.h"
#include "host/password_services.h"
#include "host/running_state.h"
#include "host/window_services.h"
#include "render/device_lifecycle.h"
#include "render/frame_loop.h"
#include "support/clock.h"

namespace {

constexpr uint32_t EndAfterMoves = 5;  // the sixth counted change ends, not the fifth

bool InSaverMode(const SaverSession& session)
{
    return session.previewFlag == 0;
}

}  // namespace

void StartSaverRun(SaverRun& run, std::optional<RunSeed> seed)
{
    if (seed) {
        SeedRanmar(run.RandomGenerator, seed->ij, seed->kl);
    } else {
        SeedFromClock(run.RandomGenerator);
    }
    LoadSettings(run.StoredSettings);
    run.Settings = run.StoredSettings;
}

void OnSaverCreate(SaverSession& session, NativeWindow window)
{
    if (InSaverMode(session)) {
        HideCursor();
        ReportSaverRunning(1);
    }
    StartFrameTimer(window);
}

void StartRendering(SaverSession& session, NativeWindow window)
{
    if (session.windowClosed != 0) return;
    CreateRenderDevice(session.run, window, static_cast<int32_t>(session.previewFlag));
    if (!HasRenderDevice(session.run)) {
        PostQuit(0);
        return;
    }
    CaptureKeyboard(window);
    SetupScene(session.run);
}

void ParkCursor(SaverSession& session)
{
    // A start that failed has already run the end-of-window handling: the pointer was never
    // moved, so it stays where the user left it.
    if (!InSaverMode(session) || session.windowDestroyed != 0) return;
    GetCursorPosition(session.savedCursorX, session.savedCursorY);
    session.cursorParked = 1;
    SetCursorPosition(ParkedCursorX, ParkedCursorY);
}

void OnSaverTimer(SaverSession& session)
{
    OnFrameTick(session.run);
}

void OnSaverTimerAfterSkips(SaverSession& session, bool& skippedTicks)
{
    if (skippedTicks) {
        skippedTicks = false;
        session.run.Clock.lastCount = QueryCounter();
    }
    OnSaverTimer(session);
}

void ResizeSaver(SaverSession& session, int32_t width, int32_t height)
{
    // The surface, the world and the spots' phases stay: only the frame changes size.
    if (!ResizeRenderer(session.run.renderer, width, height)) EndForLostDevice(session.saverWindow);
}

bool TakeDueTick(int64_t now, int64_t& nextTickNs)
{
    if (now < nextTickNs) return false;
    nextTickNs += FrameTimerPeriodNs;
    if (nextTickNs <= now) nextTickNs = now + FrameTimerPeriodNs;
    return true;
}

void OnSaverMouseMove(SaverSession& session, uint32_t x, uint32_t y)
{
    if (!InSaverMode(session)) return;
    HideCursor();
    x &= 0xFFFF;
    y &= 0xFFFF;
    if (x != session.lastMouseX) {
        session.lastMouseX = x;
        ++session.mouseMoveCount;
    }
    if (y != session.lastMouseY) {
        session.lastMouseY = y;
        ++session.mouseMoveCount;
    }
    if (session.mouseMoveCount > EndAfterMoves) {
        session.mouseMoveCount = 0;
        RequestEnd(session);
    }
}

void OnSaverKeyDown(SaverSession& session)
{
    if (InSaverMode(session)) RequestEnd(session);
}

void OnSaverButtonDown(SaverSession& session)
{
    if (InSaverMode(session)) RequestEnd(session);
}

void OnSaverActivateApp(SaverSession& session, bool active)
{
    if (!active && InSaverMode(session)) RequestEnd(session);
}

void OnSaverPowerSuspend(SaverSession& session)
{
    RequestEnd(session);
}

bool OnSaverSetCursor(SaverSession& session)
{
    if (session.mode != SaverMode::Saver || session.passwordDialogActive != 0) return false;
    HideCursor();
    return true;
}

bool OnSaverSystemCommand(SaverSession& session, SystemCommand command)
{
    return InSaverMode(session) && command != SystemCommand::Other;
}

void OnSaverClose(SaverSession& session)
{
    session.windowClosed = 1;
    ReleaseSceneResources(session.run);
    SaveSettings(session.run.StoredSettings);
    ShutDownRenderer(session.run);
    ReleaseKeyboard();
}

void OnSaverDestroy(SaverSession& session)
{
    session.windowDestroyed = 1;
    if (InSaverMode(session)) {
        ShowArrowCursor();
        if (session.cursorParked != 0)
            SetCursorPosition(session.savedCursorX, session.savedCursorY);
        ReportSaverRunning(0);
    }
    PostQuit(0);
}

void CloseSaver(SaverSession& session)
{
    if (session.windowClosed == 0) OnSaverClose(session);
    if (session.windowDestroyed == 0) OnSaverDestroy(session);
}

void ReleaseUnclosedRun(SaverSession& session)
{
    if (session.windowClosed != 0) return;
    ReleaseSceneResources(session.run);
    ShutDownRenderer(session.run);
}

void RequestEnd(SaverSession& session)
{
    if (session.endAccepted != 0 || session.passwordDialogActive != 0) return;
    ReportSaverRunning(1);
    SuspendRenderer(session.run, session.saverWindow);
    const uint32_t accepted = VerifyPassword(session);
    if (accepted != 0) {
        session.endAccepted = accepted;
        PostCloseMessage(session.saverWindow);
        return;
    }
    ReportSaverRunning(1);
    ResumeRenderer(session.run, session.saverWindow);
}

uint32_t VerifyPassword(SaverSession& session)
{
    PasswordPrompt* prompt = OpenPasswordPrompt();
    if (prompt == nullptr) return 1;
    session.passwordDialogActive = 1;
    ReportSaverRunning(1);
    const uint32_t accepted = AskPassword(prompt, session.saverWindow);
    ClosePasswordPrompt(prompt);
    session.passwordDialogActive = 0;
    return accepted;
}
