// The saver on Wayland: the full-screen saver as an overlay-layer surface on every output
// (compositors with the layer shell), or -window as an ordinary xdg-shell toplevel. It drives
// the saver session with the seat's input and paces frames with a blocking wait on the
// compositor's connection.
#pragma once

#include <cstdint>

#include "host/linux/hack_options.h"
#include "host/linux/run_mode.h"
#include "host/native_window.h"
#include "host/window_service_table.h"

struct wl_display;
struct wl_registry;
struct wl_compositor;
struct wl_shm;
struct wl_seat;
struct wl_pointer;
struct wl_keyboard;
struct wl_output;
struct wl_surface;
struct xdg_wm_base;
struct xdg_surface;
struct xdg_toplevel;
struct zwlr_layer_shell_v1;
struct zwlr_layer_surface_v1;
struct zwlr_screencopy_manager_v1;

constexpr uint32_t MaxWaylandOutputs = 16;

struct WaylandOutput {
    wl_output* output = nullptr;  // null: a free slot
    uint32_t name = 0;            // the registry's
    int32_t x = 0;                // place in the compositor's space, in surface units
    int32_t y = 0;
    int32_t modeWidth = 0;  // the current mode, in pixels
    int32_t modeHeight = 0;
    int32_t scale = 1;
    int32_t bufferScale = 1;  // what the surface was last told

    wl_surface* surface = nullptr;
    zwlr_layer_surface_v1* layer = nullptr;
    bool configured = false;
    int32_t width = 0;  // the surface's size as configured, in surface units
    int32_t height = 0;
    struct ShmBuffers* black = nullptr;  // what covers an output the scene is not on
};

// The Wayland host's record: process-wide because the window services and the protocol
// listeners, which the session and libwayland call without it, reach it. Zero until
// RunWaylandSaver fills it.
struct SaverSession;

struct WaylandHostState {
    SaverSession* session = nullptr;  // the run on show
    wl_display* display = nullptr;
    wl_registry* registry = nullptr;
    wl_compositor* compositor = nullptr;
    wl_shm* shm = nullptr;
    wl_seat* seat = nullptr;
    wl_pointer* pointer = nullptr;
    wl_keyboard* keyboard = nullptr;
    xdg_wm_base* wmBase = nullptr;
    zwlr_layer_shell_v1* layerShell = nullptr;
    zwlr_screencopy_manager_v1* screencopy = nullptr;

    WaylandOutput outputs[MaxWaylandOutputs];
    int32_t drawnOutput = -1;  // the output the scene is on (full screen)
    bool fullScreen = false;
    bool covering = false;  // the outputs have their surfaces: one added gets its own

    // -window: the toplevel.
    wl_surface* windowSurface = nullptr;
    xdg_surface* windowXdgSurface = nullptr;
    xdg_toplevel* toplevel = nullptr;
    bool windowConfigured = false;
    int32_t windowWidth = 0;
    int32_t windowHeight = 0;

    wl_surface* pointerSurface = nullptr;  // the surface of ours the pointer is over
    bool pointerKnown = false;             // origin below holds where it first was
    int32_t pointerOriginX = 0;
    int32_t pointerOriginY = 0;

    int64_t resizedAtNs = 0;
    bool skippedTicks = false;
    bool timerRunning = false;
    int64_t nextTickNs = 0;  // CLOCK_MONOTONIC
    bool closeQueued = false;
    bool destroyQueued = false;
    bool quitPosted = false;
    bool connectionLost = false;
    int32_t exitCode = 0;
};

extern WaylandHostState WaylandHost;

// The window services of the Wayland runs (messages for the user go to the standard error).
extern const WindowServiceTable WaylandWindowServices;

// The one window the saver session and the processor's renderer know; the surface behind it may
// change. OpenGL's window is the wl_surface it draws on, made again for another one.
constexpr NativeWindow WaylandSaverWindow = 1;

// The size, in pixels, of what the saver draws on now: the drawn output's surface, or the
// toplevel; 0 x 0 while there is none.
void WaylandDrawingSize(int32_t& width, int32_t& height);

// Tries the saver on Wayland for a FullScreen or OwnWindow plan. False when the compositor at
// WAYLAND_DISPLAY cannot be reached or lacks what the plan needs while an X display is there to
// fall back on; otherwise true with the exit status: 0 when it ended by its rules, a signal or
// the loss of its last output; 1 without a device to draw with; 2 without a compositor to draw
// on (one line says why), for a picture that cannot be used, or for a compositor lost midway.
bool RunWaylandSaver(const HackOptions& options, const RunPlan& plan, bool x11Display, int& status);
