// The renderer of the saver window, and the order in which its resources come and go (device
// made at first showing, given up around the password dialog, everything released at window
// close).
#pragma once

#include "host/native_window.h"
#include "render/renderer.h"

struct SaverRun;

// Makes the run's renderer and its device for the window: windowed at the window's client size
// in preview, full screen otherwise. On failure it tells the user and ends the window; the
// caller asks HasRenderDevice.
void CreateRenderDevice(SaverRun& run, NativeWindow window, int32_t previewFlag);
bool HasRenderDevice(const SaverRun& run);
// The renderer's device made anew for another window (a Wayland output's surface), the scene
// with it; false, with the window ended, when it cannot be made.
bool MoveRenderDevice(SaverRun& run, NativeWindow window, int32_t previewFlag);
// No device to be had: the user is told, the window and its event loop end.
void EndForLostDevice(NativeWindow window);
// The text's and the spots' resources. Repeating it does nothing.
void ReleaseSceneResources(SaverRun& run);
// At window close, after ReleaseSceneResources (and the session's storing of the settings):
// frees the surface fields, then closes the renderer (device and drawing system).
void ShutDownRenderer(SaverRun& run);
// Before the password dialog: gives up the scene's resources and the device.
void SuspendRenderer(SaverRun& run, NativeWindow window);
// After a refused password: the same device again, the settings reloaded, the scene anew.
void ResumeRenderer(SaverRun& run, NativeWindow window);
