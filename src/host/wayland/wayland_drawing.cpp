// The Wayland host's calls into the renderer, the surface and the saver session.
#include "host/wayland/wayland_drawing.h"

#include <time.h>
#include <wayland-client.h>

#include "host/host_state.h"
#include "host/saver_session.h"
#include "host/wayland/wayland_host.h"
#include "host/window_services.h"
#include "render/cpu/wayland/wayland_presenter.h"
#include "render/device_lifecycle.h"
#include "render/frame_clock.h"
#include "render/light_spots.h"
#include "render/scene.h"
#include "render/switch/render_switch.h"
#include "settings/settings.h"
#include "support/clock.h"
#include "support/heap.h"
#include "support/posix/counter_mode.h"
#include "support/ranmar.h"
#include "surface/falloff_table.h"
#include "surface/height_field.h"
#include "surface/normal_field.h"
#include "surface/picture/desktop_source.h"

namespace {

// A surface being given new sizes reports many; the device follows once it rests.
constexpr int64_t ResizeSettleNs = 100000000;

SaverSettings StoredSettings;  // as loaded: the options' overrides are not written back

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

// The frames follow the surface's new size; the lights go on.
void FollowSize(int32_t width, int32_t height)
{
    if (ResizeRenderer(SaverRenderer, width, height)) return;
    ShowErrorMessage(Host.saverWindow, "CreateDevice FAILED");
    SendDestroyMessage(Host.saverWindow);
    PostQuit(0);
}

bool UseCapture(DesktopSource source, std::string& reason)
{
    CaptureSource = source;
    const bool taken = CaptureDesktop();
    if (!taken) reason = CaptureFailureReason();
    CaptureSource.snapshot = nullptr;
    return taken;
}

}  // namespace

void StartWaylandRun(const HackOptions& options)
{
    if (options.seedIJ && options.seedKL) {
        SeedRanmar(*options.seedIJ, *options.seedKL);
    } else {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        const auto tick = static_cast<uint32_t>(now.tv_sec * 1000 + now.tv_nsec / 1000000);
        SeedRanmar((tick >> 16) & 0x3FFF, tick & 0x3573);
    }
    if (options.frameTimeNs) UseFixedCounterStep(*options.frameTimeNs);
    LoadSettings();
    StoredSettings = Settings;
    ApplySettingOverrides(options, Settings);
}

bool UseDesktopSnapshot(const DesktopSnapshot& snapshot, std::string& reason)
{
    DesktopSource source;
    source.kind = DesktopSourceKind::Snapshot;
    source.snapshot = &snapshot;
    return UseCapture(source, reason);
}

bool UseDesktopPictureFile(const std::string& path, std::string& reason)
{
    DesktopSource source;
    source.kind = DesktopSourceKind::PictureFile;
    source.picturePath = path;
    return UseCapture(source, reason);
}

bool UseDemoDesktop(int32_t width, int32_t height)
{
    DesktopSource source;
    source.demoWidth = width;
    source.demoHeight = height;
    std::string reason;
    return UseCapture(source, reason) || UseFlatHeightField(width, height);
}

bool StartWaylandDrawing(wl_shm* shm, bool fullScreen)
{
    int32_t width = 0;
    int32_t height = 0;
    WaylandDrawingSize(width, height);
    // OpenGL on Wayland would need wayland-egl; the processor draws here.
    SetRendererNativeDisplay(NativeDisplay{});
    UseRendererBackEnd(RendererBackEndKind::Cpu);
    UseWaylandPresenters(shm, SurfaceOf);
    Host.mode = SaverMode::Saver;
    Host.previewFlag = fullScreen ? 0 : 1;
    Host.saverWindow = WaylandSaverWindow;
    WindowServices = &WaylandWindowServices;
    OnSaverCreate(WaylandSaverWindow);
    StartRendering(WaylandSaverWindow, Host.previewFlag);
    if (!HasRenderDevice()) return false;
    ParkCursor();
    return true;
}

void WaylandTick(int64_t now)
{
    int32_t width = 0;
    int32_t height = 0;
    WaylandDrawingSize(width, height);
    int32_t frameWidth = 0;
    int32_t frameHeight = 0;
    GetFrameSize(SaverRenderer, frameWidth, frameHeight);
    const bool resized = HasRenderDevice() && width > 0 && height > 0 &&
                         (width != frameWidth || height != frameHeight);
    if (resized && now - WaylandHost.resizedAtNs >= ResizeSettleNs) {
        FollowSize(width, height);
    } else if (resized) {
        // A frame of the old size would not fit the surface's new scale.
        WaylandHost.skippedTicks = true;
        return;
    }
    // The compositor has not shown the last frame: it does not show the surface now.
    if (WaitingForCompositor(WaylandPresenterOf(SaverRenderer))) {
        WaylandHost.skippedTicks = true;
        return;
    }
    // The time nothing was shown is not one long frame.
    if (WaylandHost.skippedTicks) {
        WaylandHost.skippedTicks = false;
        Clock.lastCount = QueryCounter();
    }
    OnSaverTimer();
}

void WaylandPointerMoved(int32_t x, int32_t y)
{
    OnSaverMouseMove(static_cast<uint32_t>(x), static_cast<uint32_t>(y));
}

void WaylandKeyPressed()
{
    if (Host.previewFlag == 0) {
        OnSaverKeyDown();
    } else {
        PostCloseMessage(Host.saverWindow);
    }
}

void WaylandButtonPressed()
{
    OnSaverButtonDown();
}

void CloseWaylandSaver()
{
    WaylandHost.closeQueued = false;
    if (Host.windowClosed == 0) {
        Settings = StoredSettings;
        OnSaverClose();
    }
    if (Host.windowDestroyed == 0) OnSaverDestroy();
}

void DestroyWaylandSaver()
{
    WaylandHost.destroyQueued = false;
    if (Host.windowDestroyed == 0) OnSaverDestroy();
}

bool WaylandSaverClosed()
{
    return Host.windowClosed != 0;
}

void ReleaseUnclosedWaylandRun()
{
    if (Host.windowClosed == 0) {
        ReleaseSceneResources();
        CloseRenderer(SaverRenderer);
        FreeAllocation(HeightField);
        HeightField = nullptr;
        FreeAllocation(NormalField);
        NormalField = nullptr;
        FreeAllocation(FalloffTable);
        FalloffTable = nullptr;
    }
    UseWaylandPresenters(nullptr, nullptr);
    WindowServices = &HeadlessWindowServices;
}
