// What the renderer and the saver session ask of the window, the pointer and the keyboard,
// answered with X11.
#include <X11/Xlib.h>

#include <time.h>

#include "host/cursor_services.h"
#include "host/headless/headless_host.h"
#include "host/keyboard_services.h"
#include "host/saver_session.h"
#include "host/x11/x11_host.h"
#include "support/posix/monotonic_clock.h"

namespace {

constexpr int GrabAttempts = 10;  // another program's grab (an open menu) may end in a moment
constexpr long GrabRetryNs = 50000000;

void GetClientSize(NativeWindow, int32_t& width, int32_t& height)
{
    width = X11Host.width;
    height = X11Host.height;
}

void ShowError(NativeWindow, const char* text)
{
    PrintErrorLine(text);
}

void SendDestroy(NativeWindow)
{
    if (X11Host.session != nullptr) OnSaverDestroy(*X11Host.session);
}

void PostDestroy(NativeWindow)
{
    X11Host.destroyQueued = true;
}

void Quit(int32_t exitCode)
{
    X11Host.quitPosted = true;
    X11Host.exitCode = exitCode;
}

void ShowRestoredThenMaximized(NativeWindow)
{
    // The window keeps its size and place; the full-screen one stays above everything.
    if (X11Host.ownWindow && !X11Host.windowGone) XRaiseWindow(X11Host.display, X11Host.window);
}

void StartTimer(NativeWindow)
{
    X11Host.timerRunning = true;
    X11Host.nextTickNs = MonotonicNanoseconds() + FrameTimerPeriodNs;
}

void PostClose(NativeWindow)
{
    X11Host.closeQueued = true;
}

bool CanUseWindow()
{
    return X11Host.display != nullptr && X11Host.window != 0 && !X11Host.windowGone;
}

void Pause(long nanoseconds)
{
    timespec wait{0, nanoseconds};
    while (nanosleep(&wait, &wait) != 0) {
    }
}

}  // namespace

const WindowServiceTable X11WindowServices = {
    GetClientSize, ShowError, SendDestroy, PostDestroy, Quit, ShowRestoredThenMaximized,
    StartTimer,    PostClose,
};

void HideCursor()
{
    if (!CanUseWindow() || X11Host.cursorHidden || X11Host.blankCursor == 0) return;
    XDefineCursor(X11Host.display, X11Host.window, X11Host.blankCursor);
    X11Host.cursorHidden = true;
}

void ShowArrowCursor()
{
    // Without a shape of its own the window shows its parent's, the root's arrow.
    if (!CanUseWindow() || !X11Host.cursorHidden) return;
    XUndefineCursor(X11Host.display, X11Host.window);
    X11Host.cursorHidden = false;
}

void GetCursorPosition(int32_t& x, int32_t& y)
{
    x = 0;
    y = 0;
    if (X11Host.display == nullptr) return;
    Window rootReturn = 0;
    Window child = 0;
    int rootX = 0;
    int rootY = 0;
    int windowX = 0;
    int windowY = 0;
    unsigned int buttons = 0;
    if (XQueryPointer(X11Host.display, X11Host.root, &rootReturn, &child, &rootX, &rootY, &windowX,
                      &windowY, &buttons)) {
        x = rootX;
        y = rootY;
    }
}

void SetCursorPosition(int32_t x, int32_t y)
{
    if (X11Host.display == nullptr) return;
    // The server keeps the pointer on the screen: (-10, -10) lands on (0, 0).
    XWarpPointer(X11Host.display, None, X11Host.root, 0, 0, 0, 0, x, y);
    XFlush(X11Host.display);
}

void CaptureKeyboard(NativeWindow window)
{
    // Only the full-screen saver holds the keyboard and the pointer: in a window it is given,
    // the input belongs to whoever gave it (XScreenSaver holds both itself).
    if (!X11Host.holdsInput || !CanUseWindow()) return;
    Display* display = X11Host.display;
    for (int attempt = 0; attempt < GrabAttempts; ++attempt) {
        if (!X11Host.keyboardGrabbed) {
            X11Host.keyboardGrabbed = XGrabKeyboard(display, window, False, GrabModeAsync,
                                                    GrabModeAsync, CurrentTime) == GrabSuccess;
        }
        if (!X11Host.pointerGrabbed) {
            X11Host.pointerGrabbed =
                XGrabPointer(display, window, False, ButtonPressMask | PointerMotionMask,
                             GrabModeAsync, GrabModeAsync, None, X11Host.blankCursor,
                             CurrentTime) == GrabSuccess;
        }
        if (X11Host.keyboardGrabbed && X11Host.pointerGrabbed) break;
        Pause(GrabRetryNs);
    }
    // Taken after the grab, so that the focus change reports the grab and is known as ours.
    XSetInputFocus(display, window, RevertToParent, CurrentTime);
    XFlush(display);
}

void ReleaseKeyboard()
{
    if (X11Host.display == nullptr) return;
    if (X11Host.pointerGrabbed) XUngrabPointer(X11Host.display, CurrentTime);
    if (X11Host.keyboardGrabbed) XUngrabKeyboard(X11Host.display, CurrentTime);
    X11Host.pointerGrabbed = false;
    X11Host.keyboardGrabbed = false;
    XFlush(X11Host.display);
}
