// The Wayland host's calls into the renderer, the surface and the saver session.
#include "host/wayland/wayland_drawing.h"

#include <wayland-client.h>

#include <cstdio>

#include "host/drawing_choice.h"
#include "host/linux/linux_run.h"
#include "host/saver_session.h"
#include "host/wayland/wayland_host.h"
#include "host/window_services.h"
#include "render/cpu/wayland/wayland_presenter.h"
#include "render/device_lifecycle.h"
#include "render/switch/render_switch.h"
#include "support/posix/loaded_libraries.h"

namespace {

// A surface being given new sizes reports many; the device follows once it rests.
constexpr int64_t ResizeSettleNs = 100000000;

SaverSession& Session()
{
    return *WaylandHost.session;
}

// OpenGL's device is bound to one surface (the processor's presenter follows SurfaceOf).
bool DrawsWithGl = false;
wl_surface* GlSurface = nullptr;
wl_callback* GlFrameCallback = nullptr;  // until the compositor has shown the last frame

NativeWindow WindowOf(wl_surface* surface)
{
    return reinterpret_cast<NativeWindow>(surface);
}

wl_surface* SurfaceOf(NativeWindow)
{
    if (!WaylandHost.fullScreen)
        return WaylandHost.windowConfigured ? WaylandHost.windowSurface : nullptr;
    if (WaylandHost.drawnOutput < 0) return nullptr;
    WaylandOutput& o = WaylandHost.outputs[WaylandHost.drawnOutput];
    if (!o.configured) return nullptr;
    // Frames are drawn at the size in pixels of the scale they are shown at.
    if (o.bufferScale != o.scale) {
        o.bufferScale = o.scale;
        wl_surface_set_buffer_scale(o.surface, o.scale);
    }
    return o.surface;
}

void OnGlFrameDone(void*, wl_callback* callback, uint32_t)
{
    wl_callback_destroy(callback);
    if (GlFrameCallback == callback) GlFrameCallback = nullptr;
}

const wl_callback_listener GlFrameListener = {OnGlFrameDone};

void DropGlFrameCallback()
{
    if (GlFrameCallback != nullptr) wl_callback_destroy(GlFrameCallback);
    GlFrameCallback = nullptr;
}

// The scene moved to another output's surface: a device for that one, the scene on it anew.
bool MoveGlDevice(wl_surface* surface)
{
    SaverSession& session = Session();
    DropGlFrameCallback();
    GlSurface = surface;
    session.saverWindow = WindowOf(surface);
    return MoveRenderDevice(session.run, session.saverWindow,
                            static_cast<int32_t>(session.previewFlag));
}

// The frame callback is asked for before the frame's swap commits it, and until it comes the
// surface is not being shown: nothing is drawn for it.
bool ReadyForGlFrame()
{
    wl_surface* surface = SurfaceOf(Session().saverWindow);
    if (surface == nullptr) return false;
    if (surface != GlSurface && !MoveGlDevice(surface)) return false;
    if (GlFrameCallback != nullptr || !HasRenderDevice(Session().run)) return false;
    GlFrameCallback = wl_surface_frame(surface);
    wl_callback_add_listener(GlFrameCallback, &GlFrameListener, nullptr);
    return true;
}

// The child's own connection: the parent's must not be shared.
DrawingPath AskEglOnOwnWayland(const void*)
{
    wl_display* own = wl_display_connect(nullptr);
    return AskEgl(EglPlatform::Wayland, own);
}

// Whether OpenGL can draw on the surface, found out on a renderer of its own before the saver
// session could take a failure for the end of the run. The renderer is kept open (without a
// device) until the saver's is, so that EGL is not ended and started again in between.
Renderer* TryOpenGl(int32_t width, int32_t height)
{
    SetRendererNativeDisplay(NativeDisplay{NativeDisplayKind::Wayland, WaylandHost.display});
    UseRendererBackEnd(RendererBackEndKind::OpenGl);
    GlSurface = SurfaceOf(WaylandSaverWindow);
    Renderer* trial = OpenRenderer();
    const bool served =
        trial != nullptr && GlSurface != nullptr &&
        CreateRendererDevice(trial, WindowOf(GlSurface), width, height, RendererOptions{});
    ReleaseRendererDevice(trial);
    if (served) return trial;
    CloseRenderer(trial);
    GlSurface = nullptr;
    SetRendererNativeDisplay(NativeDisplay{});
    std::fputs(
        "tavrel: no OpenGL for Wayland surfaces here (EGL's Wayland platform); drawing "
        "on the processor\n",
        stderr);
    std::fflush(stderr);
    return nullptr;
}

}  // namespace

void StartWaylandRun(SaverSession& session, const HackOptions& options)
{
    WaylandHost.session = &session;
    StartLinuxRun(session.run, options);
}

bool StartWaylandDrawing(wl_shm* shm, bool fullScreen, RendererChoice renderer)
{
    int32_t width = 0;
    int32_t height = 0;
    WaylandDrawingSize(width, height);
    SaverSession& session = Session();
    session.previewFlag = fullScreen ? 0 : 1;
    // As on X11: the processor where OpenGL would be a software rasteriser or is missing.
    DrawsWithGl =
        ChooseDrawingPath(renderer, "/dev/dri", AskEglOnOwnWayland, nullptr) == DrawingPath::OpenGl;
    Renderer* trial = DrawsWithGl ? TryOpenGl(width, height) : nullptr;
    DrawsWithGl = trial != nullptr;
    if (!DrawsWithGl) {
        UseRendererBackEnd(RendererBackEndKind::Cpu);
        UseWaylandPresenters(shm, SurfaceOf);
    }
    session.saverWindow = DrawsWithGl ? WindowOf(GlSurface) : WaylandSaverWindow;
    WindowServices = &WaylandWindowServices;
    OnSaverCreate(session, session.saverWindow);
    StartRendering(session, session.saverWindow);
    CloseRenderer(trial);
    if (!HasRenderDevice(session.run)) return false;
    if (DrawsWithGl) KeepLoadedLibraries();
    ParkCursor(session);
    return true;
}

void WaylandTick(int64_t now)
{
    int32_t width = 0;
    int32_t height = 0;
    WaylandDrawingSize(width, height);
    SaverSession& session = Session();
    int32_t frameWidth = 0;
    int32_t frameHeight = 0;
    GetFrameSize(session.run.renderer, frameWidth, frameHeight);
    const bool resized = HasRenderDevice(session.run) && width > 0 && height > 0 &&
                         (width != frameWidth || height != frameHeight);
    if (resized && now - WaylandHost.resizedAtNs >= ResizeSettleNs) {
        ResizeSaver(session, width, height);
    } else if (resized) {
        // A frame of the old size would not fit the surface's new scale.
        WaylandHost.skippedTicks = true;
        return;
    }
    // The compositor has not shown the last frame: it does not show the surface now.
    if (DrawsWithGl ? !ReadyForGlFrame()
                    : WaitingForCompositor(WaylandPresenterOf(session.run.renderer))) {
        WaylandHost.skippedTicks = true;
        return;
    }
    OnSaverTimerAfterSkips(session, WaylandHost.skippedTicks);
}

void WaylandPointerMoved(int32_t x, int32_t y)
{
    OnSaverMouseMove(Session(), static_cast<uint32_t>(x), static_cast<uint32_t>(y));
}

void WaylandKeyPressed()
{
    SaverSession& session = Session();
    if (session.previewFlag == 0) {
        OnSaverKeyDown(session);
    } else {
        PostCloseMessage(session.saverWindow);
    }
}

void WaylandButtonPressed()
{
    OnSaverButtonDown(Session());
}

void LeaveWaylandSurface(wl_surface* surface)
{
    if (!DrawsWithGl || surface == nullptr || surface != GlSurface) return;
    DropGlFrameCallback();
    ReleaseSceneResources(Session().run);
    ReleaseRendererDevice(Session().run.renderer);
    GlSurface = nullptr;
}

void CloseWaylandSaver()
{
    WaylandHost.closeQueued = false;
    CloseSaver(Session());
}

void DestroyWaylandSaver()
{
    WaylandHost.destroyQueued = false;
    if (Session().windowDestroyed == 0) OnSaverDestroy(Session());
}

bool WaylandSaverClosed()
{
    return Session().windowClosed != 0;
}

void ReleaseUnclosedWaylandRun()
{
    if (WaylandHost.session != nullptr) ReleaseUnclosedRun(*WaylandHost.session);
    DropGlFrameCallback();
    DrawsWithGl = false;
    GlSurface = nullptr;
    UseWaylandPresenters(nullptr, nullptr);
    SetRendererNativeDisplay(NativeDisplay{});
    WindowServices = &HeadlessWindowServices;
}
