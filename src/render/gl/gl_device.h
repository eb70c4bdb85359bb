// The OpenGL back end (through EGL, windowed or headless): render/device.h's operations in
// namespace gl, so that it can share a program with the processor back end (render/switch
// defines device.h's own names and hands each call to one of them). Its handles must only be
// passed back here.
//
// Without a window (focus and device window 0) a device draws into an offscreen back buffer of
// the requested size and Present only flips it; the host reads the presented frame back. With
// an X11 connection given before CreateRenderSystem, a device made for a window also shows
// each presented frame in that window.
#pragma once

#include <cstdint>

#include "render/device.h"

namespace gl {

// There is no monitor to ask, so the host says what the screen is: the one mode that adapter 0
// reports (GetAdapterDisplayMode, and EnumAdapterModes index 0). Until set: 1280 x 800,
// X8R8G8B8, 60 Hz. A zero width or height is ignored.
void SetAdapterDisplayMode(const DisplayMode& mode);

// The X11 Display* whose windows devices may draw into, or null for offscreen only. Read by
// CreateRenderSystem; the connection must outlive the render system.
void SetNativeDisplay(void* x11Display);

// Copies the last presented frame (black before the first Present): back-buffer height rows,
// top row first, pitch bytes apart; each pixel 4 bytes in the order red, green, blue, alpha
// (255: the X8R8G8B8 back buffer has none). pitch must be at least 4 * width and a multiple
// of 4. Not for the per-frame path of a saver: it waits for the frame to finish.
RenderResult ReadPresentedFrame(RenderDevice* device, uint8_t* pixels, int32_t pitch);

// The same operations as render/device.h, with the same meanings and result codes.
#include "render/device_operations.h"

}  // namespace gl
