// Shows the processor back end's frames on a Wayland surface through wl_shm buffers: only the
// squares that changed are copied and damaged, and a buffer the compositor holds is never
// written. The connection, the surface and its role stay the host's.
#pragma once

#include <cstdint>

#include "render/cpu/cpu_device.h"

struct wl_shm;
struct wl_surface;

struct WaylandPresenter;

// The surface a device's window is shown on now (it may change between frames, as when the
// output it was on goes away), or null when there is none to draw on.
using WaylandSurfaceOf = wl_surface* (*)(NativeWindow window);

// Processor renderers made for a window from now on show their frames on the surface
// surfaceOf names for it (null shm: no more windows). The shm must outlive those devices.
void UseWaylandPresenters(wl_shm* shm, WaylandSurfaceOf surfaceOf);

// The presenter of a processor renderer made for a window, or null.
WaylandPresenter* WaylandPresenterOf(const Renderer* renderer);
// True while the compositor has not yet shown the last frame committed (its frame callback
// has not come): a hidden surface never does, and nothing need be drawn for it.
bool WaitingForCompositor(const WaylandPresenter* presenter);
