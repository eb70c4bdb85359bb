// What the renderer and the saver session ask of the window, answered on Wayland. The pointer
// and the keyboard need nothing asked: the overlay surfaces take the keyboard and hide the
// pointer themselves, and no Wayland client may move the pointer.

#include "host/headless/headless_host.h"
#include "host/saver_session.h"
#include "host/wayland/wayland_host.h"
#include "support/posix/monotonic_clock.h"

namespace {

void GetClientSize(NativeWindow, int32_t& width, int32_t& height)
{
    WaylandDrawingSize(width, height);
}

void ShowError(NativeWindow, const char* text)
{
    PrintErrorLine(text);
}

void SendDestroy(NativeWindow)
{
    if (WaylandHost.session != nullptr) OnSaverDestroy(*WaylandHost.session);
}

void PostDestroy(NativeWindow)
{
    WaylandHost.destroyQueued = true;
}

void Quit(int32_t exitCode)
{
    WaylandHost.quitPosted = true;
    WaylandHost.exitCode = exitCode;
}

void ShowRestoredThenMaximized(NativeWindow)
{
    // The surfaces never left.
}

void StartTimer(NativeWindow)
{
    WaylandHost.timerRunning = true;
    WaylandHost.nextTickNs = MonotonicNanoseconds() + FrameTimerPeriodNs;
}

void PostClose(NativeWindow)
{
    WaylandHost.closeQueued = true;
}

}  // namespace

const WindowServiceTable WaylandWindowServices = {
    GetClientSize, ShowError, SendDestroy, PostDestroy, Quit, ShowRestoredThenMaximized,
    StartTimer,    PostClose,
};

void WaylandDrawingSize(int32_t& width, int32_t& height)
{
    width = 0;
    height = 0;
    if (!WaylandHost.fullScreen) {
        if (!WaylandHost.windowConfigured) return;
        width = WaylandHost.windowWidth;
        height = WaylandHost.windowHeight;
        return;
    }
    if (WaylandHost.drawnOutput < 0) return;
    const WaylandOutput& o = WaylandHost.outputs[WaylandHost.drawnOutput];
    if (!o.configured) return;
    width = o.width * o.scale;
    height = o.height * o.scale;
}
