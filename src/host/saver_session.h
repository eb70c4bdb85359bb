// The saver session: what the saver window does with what happens to it, written once for
// every host. A host creates its window, translates its platform's events into the calls below
// and runs its own event loop; the rules of the saver (when to start drawing, which input ends
// it, the password round trip, the order of the releases) live here.
//
// "Saver mode" is previewFlag == 0; in Preview mode input never ends the saver, only a power
// suspend asks to.
#pragma once

#include <cstdint>
#include <optional>

#include "host/native_window.h"
#include "host/saver_mode.h"
#include "render/saver_run.h"

constexpr uint32_t FrameTimerId = 1000;
constexpr uint32_t FrameTimerPeriodMs = 28;
constexpr int64_t FrameTimerPeriodNs = int64_t{FrameTimerPeriodMs} * 1000000;

// Where the pointer goes while the saver runs: just beyond the screen's top-left corner.
constexpr int32_t ParkedCursorX = -10;
constexpr int32_t ParkedCursorY = -10;

// One run of the saver and its window, owned by the host that shows it; zero at its start.
struct SaverSession {
    SaverRun run;
    SaverMode mode = SaverMode::Saver;
    uint32_t previewFlag = 0;  // 1 when started with the preview switch, or in a given window

    NativeWindow saverWindow = 0;
    int32_t savedCursorX = 0;  // where the pointer stood before it was parked
    int32_t savedCursorY = 0;
    uint32_t cursorParked = 0;          // 1 once savedCursor holds a position to go back to
    uint32_t windowClosed = 0;          // 1 once the close has been handled
    uint32_t windowDestroyed = 0;       // 1 once the end-of-window handling ran
    uint32_t endAccepted = 0;           // non-zero once the end is accepted: no more checks
    uint32_t passwordDialogActive = 0;  // 1 while the system's password dialog is open
    uint32_t mouseMoveCount = 0;        // coordinate changes counted since the last reset
    uint32_t lastMouseX = 0;
    uint32_t lastMouseY = 0;
};

// A generator seed given from outside (the Linux program's -seed).
struct RunSeed {
    uint32_t ij;
    uint32_t kl;
};

// The run's start, before its window: the generator seeded (from the clock unless a seed is
// given) and the settings loaded, as stored and as the run goes by. The host then applies its
// overrides to run.Settings, takes the desktop and makes the window.
void StartSaverRun(SaverRun& run, std::optional<RunSeed> seed = std::nullopt);

// The window's system commands that could take the user away from a running saver.
enum class SystemCommand { NextWindow, PreviousWindow, Close, ScreenSave, Other };

// The window is being created (it may not be shown yet): Saver mode hides the pointer and
// reports the saver as running; both modes start the frame timer.
void OnSaverCreate(SaverSession& session, NativeWindow window);
// Once, after the window is shown: the device (windowed when previewFlag is set), the keyboard
// and the scene. Without a device
// it posts the quit message instead. Nothing once the window has been closed.
void StartRendering(SaverSession& session, NativeWindow window);
// Saver mode, after StartRendering: remembers where the pointer is and parks it. Nothing once
// the window is gone (a failed start ends it before this runs).
void ParkCursor(SaverSession& session);

// The frame timer: one frame (nothing while there is no device).
void OnSaverTimer(SaverSession& session);
// The same for a host that skips ticks nobody would see: after such a spell the lights go on
// from where they were, the time nothing was drawn not being one long frame.
void OnSaverTimerAfterSkips(SaverSession& session, bool& skippedTicks);
// The window has a new size: the frames follow it, the spots go on along their paths. When no
// frame of that size can be had, the window ends.
void ResizeSaver(SaverSession& session, int32_t width, int32_t height);
// A host's own timer: true when the tick at nextTickNs is due at now, moving nextTickNs on; a
// late tick moves the next one back rather than bunching ticks up.
bool TakeDueTick(int64_t now, int64_t& nextTickNs);
// Pointer coordinates within the window, as unsigned 16-bit values. Saver mode hides the
// pointer and counts changed coordinates; the sixth change asks to end.
void OnSaverMouseMove(SaverSession& session, uint32_t x, uint32_t y);
// A key or a pointer button pressed: Saver mode asks to end.
void OnSaverKeyDown(SaverSession& session);
void OnSaverButtonDown(SaverSession& session);
// Another program became active (active false): Saver mode asks to end.
void OnSaverActivateApp(SaverSession& session, bool active);
// The system is about to suspend: both modes ask to end.
void OnSaverPowerSuspend(SaverSession& session);
// The window wants its pointer shape. True when the session hid the pointer (Saver mode and no
// password dialog open); false leaves the shape to the platform.
bool OnSaverSetCursor(SaverSession& session);
// True when the command must be swallowed rather than carried out (Saver mode only).
bool OnSaverSystemCommand(SaverSession& session, SystemCommand command);
// The window is closing: the scene's resources, the settings stored (as loaded: never this
// run's overrides), the renderer and the surface fields, then the keyboard.
void OnSaverClose(SaverSession& session);
// The window is gone: Saver mode shows the arrow again, puts the pointer back and reports the
// saver as stopped; then the event loop is asked to end.
void OnSaverDestroy(SaverSession& session);
// The end of a run that a host closes itself: OnSaverClose, then OnSaverDestroy, each only if
// not done yet.
void CloseSaver(SaverSession& session);
// A run that ended without the close: frees what the close would have (the scene's resources,
// the renderer, the surface fields) and stores nothing. Nothing after the close.
void ReleaseUnclosedRun(SaverSession& session);

// Asks to end the saver: gives up the device, asks for the password when one is in use, and
// either closes the window or brings the picture back. Ignored once the end is accepted and
// while the password dialog is open (its loop enters the window's handlers again).
void RequestEnd(SaverSession& session);
// Non-zero when the saver may end: no password in use or none can be asked for, or the
// system's prompt accepted it.
uint32_t VerifyPassword(SaverSession& session);
