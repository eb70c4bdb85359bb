// Shows the processor back end's frames in an X11 window: only the rectangles that changed,
// through a shared-memory image (MIT-SHM) when the server is on this machine and has the
// extension, through plain XPutImage otherwise. The window's visual must be TrueColor of depth
// 24 or 32 with 32-bit pixels; any channel masks.
//
// The connection stays the host's: it handles X errors (a window destroyed under the saver)
// and its events; what is drawn here needs none of them.
#pragma once

#include <cstdint>

#include "render/cpu/cpu_device.h"

typedef struct _XDisplay Display;  // as Xlib declares it

struct X11Presenter;

struct X11PresenterOptions {
    bool allowSharedMemory = true;
};

// Null when the window is gone or its visual is not one of the above.
X11Presenter* OpenX11Presenter(Display* display, unsigned long window, int32_t width,
                               int32_t height, const X11PresenterOptions& options = {});
// The back buffer is now width x height.
bool ResizeX11Presenter(X11Presenter* presenter, int32_t width, int32_t height);
// Sends these rectangles of a width x height frame of 0x..RRGGBB words, pitch words a row.
bool ShowOnX11(X11Presenter* presenter, const uint32_t* pixels, int32_t pitch, int32_t width,
               int32_t height, const cpu::PixelRect* rects, uint32_t rectCount);
// Puts back in this part of the window what the frames shown so far left there, from the
// presenter's own copy: for Expose events, which the host receives.
bool RepaintX11(X11Presenter* presenter, int32_t x, int32_t y, int32_t width, int32_t height);
void CloseX11Presenter(X11Presenter* presenter);
bool X11PresenterUsesSharedMemory(const X11Presenter* presenter);

// Processor renderers made for a window from now on show their frames in it on this connection
// (null: no more windows). The connection must outlive those devices.
void UseX11Presenters(Display* display, const X11PresenterOptions& options = {});
// The presenter of a processor renderer made for a window, or null.
X11Presenter* X11PresenterOf(const Renderer* renderer);
