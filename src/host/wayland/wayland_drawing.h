// Everything the Wayland host asks of the renderer and the saver session, in one place.
#pragma once

#include <cstdint>

#include "host/linux/hack_options.h"

struct wl_shm;
struct wl_surface;
struct SaverSession;

// The run's start: generator, settings (kept as loaded, to be stored at the end), overrides.
// The session is the host's until the end of the run.
void StartWaylandRun(SaverSession& session, const HackOptions& options);

// The saver session's start on the saver window, drawn by OpenGL or the processor as the option
// says or as suits the machine; false without a device to draw with.
bool StartWaylandDrawing(wl_shm* shm, bool fullScreen, RendererChoice renderer);
// One tick of the frame timer at `now`.
void WaylandTick(int64_t now);

// Input, translated: the pointer at (x, y) relative to where it first was.
void WaylandPointerMoved(int32_t x, int32_t y);
void WaylandKeyPressed();
void WaylandButtonPressed();

// Called before a surface of ours is destroyed: an OpenGL device drawing on it goes first.
void LeaveWaylandSurface(wl_surface* surface);
// The close: the settings as loaded go back to the store, then the end-of-window handling.
void CloseWaylandSaver();
// The end-of-window handling the session queued.
void DestroyWaylandSaver();
// True once the session has handled the close.
bool WaylandSaverClosed();
// What a run that never got as far as the close leaves.
void ReleaseUnclosedWaylandRun();
