// The saver session: what the saver window does with what happens to it, written once for
// every host. A host creates its window, translates its platform's events into the calls below
// and runs its own event loop; the rules of the saver (when to start drawing, which input ends
// it, the password round trip, the order of the releases) live here.
//
// The state is the saver window's part of Host. "Saver mode" is Host.previewFlag == 0; in
// Preview mode input never ends the saver, only a power suspend asks to.
#pragma once

#include <cstdint>

#include "host/native_window.h"

struct SaverSettings;

constexpr uint32_t FrameTimerId = 1000;
constexpr uint32_t FrameTimerPeriodMs = 28;
constexpr int64_t FrameTimerPeriodNs = int64_t{FrameTimerPeriodMs} * 1000000;

// Where the pointer goes while the saver runs: just beyond the screen's top-left corner.
constexpr int32_t ParkedCursorX = -10;
constexpr int32_t ParkedCursorY = -10;

// The window's system commands that could take the user away from a running saver.
enum class SystemCommand { NextWindow, PreviousWindow, Close, ScreenSave, Other };

// The window is being created (it may not be shown yet): Saver mode hides the pointer and
// reports the saver as running; both modes start the frame timer.
void OnSaverCreate(NativeWindow window);
// Once, after the window is shown: the device, the keyboard and the scene. Without a device
// it posts the quit message instead. Nothing once the window has been closed.
void StartRendering(NativeWindow window, uint32_t previewFlag);
// Saver mode, after StartRendering: remembers where the pointer is and parks it. Nothing once
// the window is gone (a failed start ends it before this runs).
void ParkCursor();

// The frame timer: one frame (nothing while there is no device).
void OnSaverTimer();
// The same for a host that skips ticks nobody would see: after such a spell the lights go on
// from where they were, the time nothing was drawn not being one long frame.
void OnSaverTimerAfterSkips(bool& skippedTicks);
// A host's own timer: true when the tick at nextTickNs is due at now, moving nextTickNs on; a
// late tick moves the next one back rather than bunching ticks up.
bool TakeDueTick(int64_t now, int64_t& nextTickNs);
// Pointer coordinates within the window, as unsigned 16-bit values. Saver mode hides the
// pointer and counts changed coordinates; the sixth change asks to end.
void OnSaverMouseMove(uint32_t x, uint32_t y);
// A key or a pointer button pressed: Saver mode asks to end.
void OnSaverKeyDown();
void OnSaverButtonDown();
// Another program became active (active false): Saver mode asks to end.
void OnSaverActivateApp(bool active);
// The system is about to suspend: both modes ask to end.
void OnSaverPowerSuspend();
// The window wants its pointer shape. True when the session hid the pointer (Saver mode and no
// password dialog open); false leaves the shape to the platform.
bool OnSaverSetCursor();
// True when the command must be swallowed rather than carried out (Saver mode only).
bool OnSaverSystemCommand(SystemCommand command);
// The window is closing: the scene's resources, the settings stored, the renderer, then the
// keyboard.
void OnSaverClose();
// The window is gone: Saver mode shows the arrow again, puts the pointer back and reports the
// saver as stopped; then the event loop is asked to end.
void OnSaverDestroy();
// The close of a run whose settings carry overrides that must not be stored: the settings as
// stored go back first, then OnSaverClose, then OnSaverDestroy; each only if not done yet.
void CloseSaverWith(const SaverSettings& stored);
// A run that ended without the close: frees what the close would have (the scene's resources,
// the renderer, the surface fields). Nothing after the close.
void ReleaseUnclosedRun();

// Asks to end the saver: gives up the device, asks for the password when one is in use, and
// either closes the window or brings the picture back. Ignored once the end is accepted and
// while the password dialog is open (its loop enters the window's handlers again).
void RequestEnd();
// Non-zero when the saver may end: no password in use or none can be asked for, or the
// system's prompt accepted it.
uint32_t VerifyPassword();
