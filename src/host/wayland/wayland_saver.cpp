// The Wayland saver's start, event loop and end. Frames come from a blocking wait on the
// compositor's connection with a timeout to the next 28 ms tick; signals reach the loop
// through a pipe.
#include <poll.h>
#include <unistd.h>
#include <wayland-client.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "host/headless/headless_host.h"
#include "host/headless/headless_run.h"
#include "host/linux/linux_run.h"
#include "host/saver_session.h"
#include "host/wayland/wayland_capture.h"
#include "host/wayland/wayland_drawing.h"
#include "host/wayland/wayland_host.h"
#include "render/cpu/wayland/shm_buffers.h"
#include "support/posix/monotonic_clock.h"
#include "support/posix/termination_signals.h"
#include "surface/picture/desktop_source.h"
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#include "wlr-screencopy-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

WaylandHostState WaylandHost;

namespace {

constexpr int32_t ScreencopyTimeoutMs = 2000;
constexpr int32_t ConfigureTimeoutMs = 5000;
constexpr int32_t ConnectTimeoutMs = 3000;
constexpr int32_t DefaultWindowWidth = 1280;
constexpr int32_t DefaultWindowHeight = 800;

WaylandOutput* OutputOf(wl_surface* surface)
{
    for (WaylandOutput& o : WaylandHost.outputs) {
        if (o.output != nullptr && o.surface == surface && surface != nullptr) return &o;
    }
    return nullptr;
}

bool IsDrawn(const WaylandOutput& o)
{
    return WaylandHost.drawnOutput >= 0 && &o == &WaylandHost.outputs[WaylandHost.drawnOutput];
}

// --- outputs ---

void OnGeometry(void* data, wl_output*, int32_t x, int32_t y, int32_t, int32_t, int32_t,
                const char*, const char*, int32_t)
{
    auto* o = static_cast<WaylandOutput*>(data);
    o->x = x;
    o->y = y;
}

void OnMode(void* data, wl_output*, uint32_t flags, int32_t width, int32_t height, int32_t)
{
    auto* o = static_cast<WaylandOutput*>(data);
    if ((flags & WL_OUTPUT_MODE_CURRENT) == 0) return;
    o->modeWidth = width;
    o->modeHeight = height;
}

void OnOutputDone(void* data, wl_output*);

void OnScale(void* data, wl_output*, int32_t factor)
{
    static_cast<WaylandOutput*>(data)->scale = factor >= 1 && factor <= 8 ? factor : 1;
}

// Bound at version 3: the name and description events never come.
const wl_output_listener OutputListener = {OnGeometry, OnMode,  OnOutputDone,
                                           OnScale,    nullptr, nullptr};

// --- layer surfaces ---

void CoverBlack(WaylandOutput& o)
{
    const int32_t width = o.width * o.scale;
    const int32_t height = o.height * o.scale;
    if (o.black != nullptr && (o.black->width != width || o.black->height != height)) {
        DestroyShmBuffers(o.black);
        o.black = nullptr;
    }
    if (o.black == nullptr) o.black = CreateShmBuffers(WaylandHost.shm, width, height, 1);
    if (o.bufferScale != o.scale) {
        o.bufferScale = o.scale;
        wl_surface_set_buffer_scale(o.surface, o.scale);
    }
    if (o.black == nullptr) {
        wl_surface_commit(o.surface);
        return;
    }
    wl_surface_attach(o.surface, o.black->buffers[0].buffer, 0, 0);
    wl_surface_damage_buffer(o.surface, 0, 0, width, height);
    wl_surface_commit(o.surface);
}

void OnLayerConfigure(void* data, zwlr_layer_surface_v1* layer, uint32_t serial, uint32_t width,
                      uint32_t height)
{
    auto* o = static_cast<WaylandOutput*>(data);
    zwlr_layer_surface_v1_ack_configure(layer, serial);
    // Anchored to every edge, the size is the output's; a zero would be ours to choose.
    const int32_t w = width > 0 && width <= 16384 ? static_cast<int32_t>(width) : 0;
    const int32_t h = height > 0 && height <= 16384 ? static_cast<int32_t>(height) : 0;
    if (w == 0 || h == 0) return;
    if (o->configured && (w != o->width || h != o->height))
        WaylandHost.resizedAtNs = MonotonicNanoseconds();
    o->width = w;
    o->height = h;
    o->configured = true;
    if (!IsDrawn(*o)) CoverBlack(*o);
}

void ForgetOutput(WaylandOutput& o);

void OnLayerClosed(void* data, zwlr_layer_surface_v1*)
{
    ForgetOutput(*static_cast<WaylandOutput*>(data));
}

const zwlr_layer_surface_v1_listener LayerListener = {OnLayerConfigure, OnLayerClosed};

void CoverOutput(WaylandOutput& o)
{
    if (o.surface != nullptr || WaylandHost.layerShell == nullptr) return;
    o.surface = wl_compositor_create_surface(WaylandHost.compositor);
    o.bufferScale = o.scale;
    wl_surface_set_buffer_scale(o.surface, o.scale);
    o.layer = zwlr_layer_shell_v1_get_layer_surface(WaylandHost.layerShell, o.surface, o.output,
                                                    ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, "tavrel");
    zwlr_layer_surface_v1_add_listener(o.layer, &LayerListener, &o);
    zwlr_layer_surface_v1_set_anchor(o.layer, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP |
                                                  ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                                                  ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT |
                                                  ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
    zwlr_layer_surface_v1_set_size(o.layer, 0, 0);
    zwlr_layer_surface_v1_set_exclusive_zone(o.layer, -1);
    zwlr_layer_surface_v1_set_keyboard_interactivity(o.layer, 1);
    wl_surface_commit(o.surface);
}

void OnOutputDone(void* data, wl_output*)
{
    auto* o = static_cast<WaylandOutput*>(data);
    if (!WaylandHost.covering) return;
    // One added while the saver runs is covered at once; one whose scale changed is drawn
    // again at its new size in pixels.
    if (o->surface == nullptr) {
        CoverOutput(*o);
    } else if (o->configured && o->scale != o->bufferScale) {
        if (IsDrawn(*o)) {
            WaylandHost.resizedAtNs = MonotonicNanoseconds();
        } else {
            CoverBlack(*o);
        }
    }
}

void ForgetOutput(WaylandOutput& o)
{
    const bool drawn = IsDrawn(o);
    if (WaylandHost.pointerSurface == o.surface) WaylandHost.pointerSurface = nullptr;
    LeaveWaylandSurface(o.surface);
    if (o.layer != nullptr) zwlr_layer_surface_v1_destroy(o.layer);
    if (o.surface != nullptr) wl_surface_destroy(o.surface);
    DestroyShmBuffers(o.black);
    if (o.output != nullptr) wl_output_release(o.output);
    o = WaylandOutput{};
    if (!drawn) return;
    // The scene goes on another output, or the saver ends with the last one.
    WaylandHost.drawnOutput = -1;
    for (int32_t i = 0; i < int32_t{MaxWaylandOutputs}; ++i) {
        if (WaylandHost.outputs[i].surface != nullptr) {
            WaylandHost.drawnOutput = i;
            break;
        }
    }
    if (WaylandHost.drawnOutput < 0) {
        if (WaylandHost.timerRunning) WaylandHost.closeQueued = true;
    } else {
        WaylandHost.resizedAtNs = MonotonicNanoseconds();
    }
}

// --- the toplevel of -window ---

void OnWmPing(void*, xdg_wm_base* base, uint32_t serial)
{
    xdg_wm_base_pong(base, serial);
}

const xdg_wm_base_listener WmBaseListener = {OnWmPing};

void OnXdgSurfaceConfigure(void*, xdg_surface* surface, uint32_t serial)
{
    xdg_surface_ack_configure(surface, serial);
    WaylandHost.windowConfigured = true;
}

const xdg_surface_listener XdgSurfaceListener = {OnXdgSurfaceConfigure};

void OnToplevelConfigure(void*, xdg_toplevel*, int32_t width, int32_t height, wl_array*)
{
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384) return;
    if (width != WaylandHost.windowWidth || height != WaylandHost.windowHeight) {
        WaylandHost.windowWidth = width;
        WaylandHost.windowHeight = height;
        WaylandHost.resizedAtNs = MonotonicNanoseconds();
    }
}

void OnToplevelClose(void*, xdg_toplevel*)
{
    WaylandHost.closeQueued = true;
}

const xdg_toplevel_listener ToplevelListener = {OnToplevelConfigure, OnToplevelClose, nullptr,
                                                nullptr};

void MakeToplevel(const HackOptions& options)
{
    WaylandHost.windowWidth =
        options.geometry ? static_cast<int32_t>(options.geometry->width) : DefaultWindowWidth;
    WaylandHost.windowHeight =
        options.geometry ? static_cast<int32_t>(options.geometry->height) : DefaultWindowHeight;
    WaylandHost.windowSurface = wl_compositor_create_surface(WaylandHost.compositor);
    WaylandHost.windowXdgSurface =
        xdg_wm_base_get_xdg_surface(WaylandHost.wmBase, WaylandHost.windowSurface);
    xdg_surface_add_listener(WaylandHost.windowXdgSurface, &XdgSurfaceListener, nullptr);
    WaylandHost.toplevel = xdg_surface_get_toplevel(WaylandHost.windowXdgSurface);
    xdg_toplevel_add_listener(WaylandHost.toplevel, &ToplevelListener, nullptr);
    xdg_toplevel_set_title(WaylandHost.toplevel, "Tavrel");
    xdg_toplevel_set_app_id(WaylandHost.toplevel, "tavrel");
    wl_surface_commit(WaylandHost.windowSurface);
}

// --- the seat ---

void PointerAt(wl_fixed_t surfaceX, wl_fixed_t surfaceY)
{
    const WaylandOutput* o = OutputOf(WaylandHost.pointerSurface);
    const int32_t x =
        (o != nullptr ? o->x : 0) + static_cast<int32_t>(std::lrint(wl_fixed_to_double(surfaceX)));
    const int32_t y =
        (o != nullptr ? o->y : 0) + static_cast<int32_t>(std::lrint(wl_fixed_to_double(surfaceY)));
    // Where it was when it first came over the saver stands for where the session parks it.
    if (!WaylandHost.pointerKnown) {
        WaylandHost.pointerKnown = true;
        WaylandHost.pointerOriginX = x;
        WaylandHost.pointerOriginY = y;
    }
    if (WaylandHost.timerRunning) {
        WaylandPointerMoved(x - WaylandHost.pointerOriginX, y - WaylandHost.pointerOriginY);
    }
}

void OnPointerEnter(void*, wl_pointer* pointer, uint32_t serial, wl_surface* surface, wl_fixed_t x,
                    wl_fixed_t y)
{
    WaylandHost.pointerSurface = surface;
    // No picture of a pointer over the saver.
    if (WaylandHost.fullScreen) wl_pointer_set_cursor(pointer, serial, nullptr, 0, 0);
    if (WaylandHost.fullScreen) PointerAt(x, y);
}

void OnPointerLeave(void*, wl_pointer*, uint32_t, wl_surface*)
{
    WaylandHost.pointerSurface = nullptr;
}

void OnPointerMotion(void*, wl_pointer*, uint32_t, wl_fixed_t x, wl_fixed_t y)
{
    if (WaylandHost.fullScreen && WaylandHost.pointerSurface != nullptr) PointerAt(x, y);
}

void OnPointerButton(void*, wl_pointer*, uint32_t, uint32_t, uint32_t, uint32_t state)
{
    if (state == WL_POINTER_BUTTON_STATE_PRESSED && WaylandHost.timerRunning) {
        WaylandButtonPressed();
    }
}

void OnPointerAxis(void*, wl_pointer*, uint32_t, uint32_t, wl_fixed_t) {}
void OnPointerFrame(void*, wl_pointer*) {}
void OnPointerAxisSource(void*, wl_pointer*, uint32_t) {}
void OnPointerAxisStop(void*, wl_pointer*, uint32_t, uint32_t) {}
void OnPointerAxisDiscrete(void*, wl_pointer*, uint32_t, int32_t) {}

const wl_pointer_listener PointerListener = {
    OnPointerEnter, OnPointerLeave,      OnPointerMotion,   OnPointerButton,       OnPointerAxis,
    OnPointerFrame, OnPointerAxisSource, OnPointerAxisStop, OnPointerAxisDiscrete,
    nullptr,  // version 8
};

void OnKeymap(void*, wl_keyboard*, uint32_t, int32_t fd, uint32_t)
{
    close(fd);  // which key it was does not matter
}

void OnKeyboardEnter(void*, wl_keyboard*, uint32_t, wl_surface*, wl_array*) {}
void OnKeyboardLeave(void*, wl_keyboard*, uint32_t, wl_surface*) {}

void OnKey(void*, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t state)
{
    if (state == WL_KEYBOARD_KEY_STATE_PRESSED && WaylandHost.timerRunning) WaylandKeyPressed();
}

void OnModifiers(void*, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) {}
void OnRepeatInfo(void*, wl_keyboard*, int32_t, int32_t) {}

const wl_keyboard_listener KeyboardListener = {
    OnKeymap, OnKeyboardEnter, OnKeyboardLeave, OnKey, OnModifiers, OnRepeatInfo,
};

void OnCapabilities(void*, wl_seat* seat, uint32_t capabilities)
{
    const bool pointer = (capabilities & WL_SEAT_CAPABILITY_POINTER) != 0;
    const bool keyboard = (capabilities & WL_SEAT_CAPABILITY_KEYBOARD) != 0;
    if (pointer && WaylandHost.pointer == nullptr) {
        WaylandHost.pointer = wl_seat_get_pointer(seat);
        wl_pointer_add_listener(WaylandHost.pointer, &PointerListener, nullptr);
    } else if (!pointer && WaylandHost.pointer != nullptr) {
        wl_pointer_release(WaylandHost.pointer);
        WaylandHost.pointer = nullptr;
        WaylandHost.pointerSurface = nullptr;
    }
    if (keyboard && WaylandHost.keyboard == nullptr) {
        WaylandHost.keyboard = wl_seat_get_keyboard(seat);
        wl_keyboard_add_listener(WaylandHost.keyboard, &KeyboardListener, nullptr);
    } else if (!keyboard && WaylandHost.keyboard != nullptr) {
        wl_keyboard_release(WaylandHost.keyboard);
        WaylandHost.keyboard = nullptr;
    }
}

void OnSeatName(void*, wl_seat*, const char*) {}

const wl_seat_listener SeatListener = {OnCapabilities, OnSeatName};

// --- the registry ---

template <typename T>
T* Bind(wl_registry* registry, uint32_t name, const wl_interface* interface, uint32_t offered,
        uint32_t wanted)
{
    return static_cast<T*>(
        wl_registry_bind(registry, name, interface, offered < wanted ? offered : wanted));
}

void OnGlobal(void*, wl_registry* registry, uint32_t name, const char* interface, uint32_t version)
{
    WaylandHostState& h = WaylandHost;
    if (std::strcmp(interface, wl_compositor_interface.name) == 0 && version >= 4) {
        h.compositor = Bind<wl_compositor>(registry, name, &wl_compositor_interface, version, 4);
    } else if (std::strcmp(interface, wl_shm_interface.name) == 0) {
        h.shm = Bind<wl_shm>(registry, name, &wl_shm_interface, version, 1);
    } else if (std::strcmp(interface, wl_seat_interface.name) == 0 && h.seat == nullptr &&
               version >= 5) {
        h.seat = Bind<wl_seat>(registry, name, &wl_seat_interface, version, 5);
        wl_seat_add_listener(h.seat, &SeatListener, nullptr);
    } else if (std::strcmp(interface, wl_output_interface.name) == 0 && version >= 3) {
        for (WaylandOutput& o : h.outputs) {
            if (o.output != nullptr) continue;
            o = WaylandOutput{};
            o.name = name;
            o.output = Bind<wl_output>(registry, name, &wl_output_interface, version, 3);
            wl_output_add_listener(o.output, &OutputListener, &o);
            break;
        }
    } else if (std::strcmp(interface, xdg_wm_base_interface.name) == 0) {
        h.wmBase = Bind<xdg_wm_base>(registry, name, &xdg_wm_base_interface, version, 1);
        xdg_wm_base_add_listener(h.wmBase, &WmBaseListener, nullptr);
    } else if (std::strcmp(interface, zwlr_layer_shell_v1_interface.name) == 0) {
        h.layerShell =
            Bind<zwlr_layer_shell_v1>(registry, name, &zwlr_layer_shell_v1_interface, version, 3);
    } else if (std::strcmp(interface, zwlr_screencopy_manager_v1_interface.name) == 0) {
        h.screencopy =
            Bind<zwlr_screencopy_manager_v1>(registry, name, &zwlr_screencopy_manager_v1_interface,
                                             version, 3);
    }
}

void OnGlobalRemove(void*, wl_registry*, uint32_t name)
{
    for (WaylandOutput& o : WaylandHost.outputs) {
        if (o.output != nullptr && o.name == name) ForgetOutput(o);
    }
}

const wl_registry_listener RegistryListener = {OnGlobal, OnGlobalRemove};

// --- the run ---

void Disconnect()
{
    WaylandHostState& h = WaylandHost;
    for (WaylandOutput& o : h.outputs) {
        if (o.output != nullptr) {
            h.drawnOutput = -1;  // no scene to move any more
            ForgetOutput(o);
        }
    }
    if (h.toplevel != nullptr) xdg_toplevel_destroy(h.toplevel);
    if (h.windowXdgSurface != nullptr) xdg_surface_destroy(h.windowXdgSurface);
    if (h.windowSurface != nullptr) wl_surface_destroy(h.windowSurface);
    if (h.pointer != nullptr) wl_pointer_release(h.pointer);
    if (h.keyboard != nullptr) wl_keyboard_release(h.keyboard);
    if (h.seat != nullptr) wl_seat_release(h.seat);
    if (h.screencopy != nullptr) zwlr_screencopy_manager_v1_destroy(h.screencopy);
    if (h.layerShell != nullptr) zwlr_layer_shell_v1_destroy(h.layerShell);
    if (h.wmBase != nullptr) xdg_wm_base_destroy(h.wmBase);
    if (h.shm != nullptr) wl_shm_destroy(h.shm);
    if (h.compositor != nullptr) wl_compositor_destroy(h.compositor);
    if (h.registry != nullptr) wl_registry_destroy(h.registry);
    if (h.display != nullptr) {
        wl_display_flush(h.display);
        wl_display_disconnect(h.display);
    }
    h = WaylandHostState{};
}

// Waits for events until done() or the time is up; false when the connection failed.
template <typename Done>
bool WaitFor(Done done, int32_t timeoutMs)
{
    const int64_t deadline = MonotonicNanoseconds() + int64_t{timeoutMs} * 1000000;
    while (!done()) {
        if (wl_display_dispatch_pending(WaylandHost.display) < 0 ||
            wl_display_flush(WaylandHost.display) < 0) {
            return false;
        }
        if (done()) break;
        const int64_t left = deadline - MonotonicNanoseconds();
        if (left <= 0) break;
        if (wl_display_prepare_read(WaylandHost.display) != 0) continue;
        pollfd waits[2] = {{wl_display_get_fd(WaylandHost.display), POLLIN, 0},
                           {TerminationSignalFd(), POLLIN, 0}};
        poll(waits, 2, static_cast<int>(left / 1000000) + 1);
        if ((waits[0].revents & POLLIN) != 0) {
            if (wl_display_read_events(WaylandHost.display) < 0) return false;
        } else {
            wl_display_cancel_read(WaylandHost.display);
        }
        if ((waits[1].revents & POLLIN) != 0) break;  // the loop hears of it
    }
    return true;
}

// The desktop the spots light, taken before any surface of ours shows. Returns an exit status
// when the run cannot go on, else -1.
int TakeDesktopPicture(SurfaceFields& surface, const HackOptions& options)
{
    std::string reason;
    if (!options.imagePath.empty()) {
        if (UseDesktopPictureFile(surface, options.imagePath, reason)) return -1;
        PrintErrorLine(reason.c_str());
        return ExitBadInput;
    }
    int32_t width = DefaultWindowWidth;
    int32_t height = DefaultWindowHeight;
    if (WaylandHost.drawnOutput >= 0) {
        const WaylandOutput& o = WaylandHost.outputs[WaylandHost.drawnOutput];
        if (o.modeWidth > 0 && o.modeHeight > 0) {
            width = o.modeWidth;
            height = o.modeHeight;
        }
        if (WaylandHost.screencopy == nullptr) {
            reason = "the compositor offers no screencopy";
        } else {
            DesktopSnapshot snapshot;
            if (CopyOutputPicture(WaylandHost.display, WaylandHost.shm, WaylandHost.screencopy,
                                  o.output, ScreencopyTimeoutMs, TerminationSignalFd(), snapshot,
                                  reason) &&
                UseDesktopSnapshot(surface, snapshot, reason)) {
                return -1;
            }
        }
    } else {
        reason = "no output to copy";
    }
    return ShowDemoDesktopInstead(surface, reason, width, height);
}

void RunEventLoop()
{
    WaylandHostState& h = WaylandHost;
    const int connection = wl_display_get_fd(h.display);
    while (!h.quitPosted) {
        if (wl_display_dispatch_pending(h.display) < 0) h.connectionLost = true;
        if (h.connectionLost) h.closeQueued = true;
        if (h.quitPosted) break;
        if (h.closeQueued) {
            CloseWaylandSaver();
            continue;
        }
        if (h.destroyQueued) {
            DestroyWaylandSaver();
            continue;
        }
        // A full socket waits for the compositor to read; a failed one is a lost compositor.
        short flushWait = 0;
        if (wl_display_flush(h.display) < 0) {
            if (errno != EAGAIN) {
                h.connectionLost = true;
                continue;
            }
            flushWait = POLLOUT;
        }
        if (wl_display_prepare_read(h.display) != 0) continue;
        const int64_t now = MonotonicNanoseconds();
        int timeout = -1;
        if (h.timerRunning) {
            const int64_t left = h.nextTickNs > now ? h.nextTickNs - now : 0;
            timeout = static_cast<int>((left + 999999) / 1000000);
        }
        pollfd waits[2] = {{connection, static_cast<short>(POLLIN | flushWait), 0},
                           {TerminationSignalFd(), POLLIN, 0}};
        poll(waits, 2, timeout);
        if ((waits[0].revents & POLLIN) != 0) {
            if (wl_display_read_events(h.display) < 0) h.connectionLost = true;
        } else {
            wl_display_cancel_read(h.display);
            if ((waits[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) h.connectionLost = true;
        }
        if (h.connectionLost) continue;
        if ((waits[1].revents & POLLIN) != 0 && SignalArrived()) {
            h.closeQueued = true;
            continue;
        }
        const int64_t after = MonotonicNanoseconds();
        if (h.timerRunning && TakeDueTick(after, h.nextTickNs)) WaylandTick(after);
    }
}

void OnSyncDone(void* data, wl_callback* callback, uint32_t)
{
    *static_cast<bool*>(data) = true;
    wl_callback_destroy(callback);
}

const wl_callback_listener SyncListener = {OnSyncDone};

// What wl_display_roundtrip does, but a compositor that has stopped cannot hold us forever.
bool Roundtrip()
{
    bool done = false;
    wl_callback* callback = wl_display_sync(WaylandHost.display);
    wl_callback_add_listener(callback, &SyncListener, &done);
    WaitFor([&done] { return done; }, ConnectTimeoutMs);
    if (!done) wl_callback_destroy(callback);
    return done;
}

enum class Reached { No, Silent, Yes };

// Connects and learns the globals and the outputs.
Reached Connect()
{
    WaylandHost = WaylandHostState{};
    WaylandHost.display = wl_display_connect(nullptr);
    if (WaylandHost.display == nullptr) return Reached::No;
    WaylandHost.registry = wl_display_get_registry(WaylandHost.display);
    wl_registry_add_listener(WaylandHost.registry, &RegistryListener, nullptr);
    // The globals, then what each output says of itself.
    if (!Roundtrip() || !Roundtrip()) {
        Disconnect();
        return Reached::Silent;
    }
    return Reached::Yes;
}

}  // namespace

bool RunWaylandSaver(const HackOptions& options, const RunPlan& plan, bool x11Display, int& status)
{
    const bool fullScreen = plan.mode == RunMode::FullScreen;
    const char* socket = std::getenv("WAYLAND_DISPLAY");
    const std::string at = "'" + std::string(socket != nullptr ? socket : "") + "'";
    const Reached reached = Connect();
    std::string missing;
    if (reached == Reached::No) {
        missing = "no Wayland compositor at " + at;
    } else if (reached == Reached::Silent) {
        missing = "the Wayland compositor at " + at + " does not answer";
    } else if (WaylandHost.compositor == nullptr || WaylandHost.shm == nullptr) {
        missing = "the Wayland compositor offers no wl_compositor 4 or no wl_shm";
    } else if (fullScreen && WaylandHost.layerShell == nullptr) {
        missing = "the Wayland compositor offers no layer shell (zwlr_layer_shell_v1)";
    } else if (!fullScreen && WaylandHost.wmBase == nullptr) {
        missing = "the Wayland compositor offers no xdg-shell";
    }
    if (!missing.empty()) {
        Disconnect();
        if (x11Display) return false;
        PrintErrorLine((missing + ", and DISPLAY is not set").c_str());
        status = ExitBadInput;
        return true;
    }
    if (!InstallTerminationSignals()) {
        Disconnect();
        PrintErrorLine("cannot make a pipe for the signals");
        status = ExitFailed;
        return true;
    }
    WaylandHost.fullScreen = fullScreen;
    for (int32_t i = 0; i < int32_t{MaxWaylandOutputs}; ++i) {
        if (WaylandHost.outputs[i].output != nullptr) {
            WaylandHost.drawnOutput = i;
            break;
        }
    }
    if (fullScreen && WaylandHost.drawnOutput < 0) {
        Disconnect();
        RemoveTerminationSignals();
        PrintErrorLine("the Wayland compositor has no output to cover");
        status = ExitBadInput;
        return true;
    }
    SaverSession session;
    StartWaylandRun(session, options);
    status = TakeDesktopPicture(session.run.surface, options);
    if (status >= 0) {
        FreeSurfaceFields(session.run.surface);
        Disconnect();
        RemoveTerminationSignals();
        return true;
    }
    status = ExitDone;

    if (fullScreen) {
        WaylandHost.covering = true;
        for (WaylandOutput& o : WaylandHost.outputs) {
            if (o.output != nullptr) CoverOutput(o);
        }
    } else {
        MakeToplevel(options);
    }
    const bool configured = WaitFor(
        [] {
            int32_t width = 0;
            int32_t height = 0;
            WaylandDrawingSize(width, height);
            return width > 0 && height > 0;
        },
        ConfigureTimeoutMs);
    int32_t width = 0;
    int32_t height = 0;
    WaylandDrawingSize(width, height);
    if (!configured) {
        PrintErrorLine("lost the connection to the Wayland compositor");
        status = ExitBadInput;
    } else if (width == 0 || height == 0) {
        // A signal while it waited is an end like any other; else the compositor never said.
        if (!SignalArrived()) {
            PrintErrorLine("the Wayland compositor did not give the saver's surface a size");
            status = ExitBadInput;
        }
    } else if (!StartWaylandDrawing(WaylandHost.shm, fullScreen, options.renderer)) {
        status = ExitFailed;
    } else {
        RunEventLoop();
        if (WaylandHost.connectionLost) {
            PrintErrorLine("lost the connection to the Wayland compositor");
            status = ExitBadInput;
        } else if (!WaylandSaverClosed()) {
            status = ExitFailed;
        }
    }
    ReleaseUnclosedWaylandRun();
    Disconnect();
    RemoveTerminationSignals();
    return true;
}
