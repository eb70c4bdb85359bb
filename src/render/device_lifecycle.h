// The drawing system and the device of the saver window, and the order in which the
// renderer's resources come and go (device made at first showing, given up around the password
// dialog, everything released at window close).
#pragma once

#include "host/native_window.h"
#include "render/device.h"

// Each holder is null when absent and cleared the moment its object is released.
extern RenderSystem* SaverRenderSystem;
extern RenderDevice* SaverDevice;
// Filled once by CreateRenderDevice and kept, so that ResumeRenderer makes the same device.
extern PresentParameters DevicePresentParameters;
extern DisplayMode CurrentDisplayMode;

// Makes the device for the window: windowed at the window's client size in preview, full
// screen otherwise at the best refresh rate of at most 100 Hz. On failure it tells the user,
// ends the window and leaves SaverDevice null; the caller checks SaverDevice.
void CreateRenderDevice(NativeWindow window, int32_t previewFlag);
// The highest refresh rate of at most 100 Hz among the adapter's modes of exactly this size
// and format, or 0 (the adapter's default) when there is none.
uint32_t ChooseRefreshRate(RenderSystem* system, uint32_t width, uint32_t height, uint32_t format);
// Releases the text vertex buffer, the font texture, then each spot's vertex buffer and
// texture, spot 0 first. Repeating it does nothing.
void ReleaseSceneResources();
// At window close, after ReleaseSceneResources: stores the settings, frees the heap buffers,
// then releases the device and the drawing system.
void ShutDownRenderer();
// Before the password dialog: gives up the scene's resources and the device.
void SuspendRenderer(NativeWindow window);
// After a refused password: the same device again, the settings reloaded, the scene anew.
void ResumeRenderer(NativeWindow window);
