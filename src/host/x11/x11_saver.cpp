// The X11 saver's start, event loop and end. Frames come from a blocking wait on the X
// connection with a timeout to the next 28 ms tick; signals reach the loop through a pipe.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <string>

#include "host/drawing_choice.h"
#include "host/headless/headless_host.h"
#include "host/headless/headless_run.h"
#include "host/linux/linux_run.h"
#include "host/saver_session.h"
#include "host/window_services.h"
#include "host/x11/connection_watch.h"
#include "host/x11/x11_events.h"
#include "host/x11/x11_host.h"
#include "render/cpu/x11/x11_presenter.h"
#include "render/device_lifecycle.h"
#include "render/switch/render_switch.h"
#include "support/posix/loaded_libraries.h"
#include "support/posix/monotonic_clock.h"
#include "support/posix/termination_signals.h"
#include "surface/picture/desktop_source.h"
#include "surface/x11/capture_x11.h"

X11HostState X11Host;

namespace {

// A window being dragged to a new size reports many sizes; the device follows once it rests.
constexpr int64_t ResizeSettleNs = 100000000;

// The run's settings as loaded, once loaded: the lost connection's handlers (the X I/O error
// handler, the connection watch's thread) store them and reach them only through this.
std::atomic<const SaverSettings*> StoredSettings{nullptr};
CloseAtoms WindowCloseAtoms;

// A helper's end must be seen by waitpid even if the parent left SIGCHLD ignored.
bool InstallSignals(std::string& reason)
{
    if (!InstallTerminationSignals()) {
        reason = "cannot make a pipe for the signals";
        return false;
    }
    signal(SIGCHLD, SIG_DFL);
    return true;
}

// X errors come back for requests on a window that another client may destroy at any moment;
// the requests that matter check their results, the rest simply did nothing.
int IgnoreXError(Display*, XErrorEvent*)
{
    return 0;
}

std::atomic<bool> Ending{false};

// Nothing may touch the connection any more, OpenGL's included: store the settings, as a close
// would first, and go. The main thread and the connection watch may both get here.
[[noreturn]] void EndForLostConnection()
{
    if (Ending.exchange(true)) {
        for (;;) pause();  // the other one is ending the process
    }
    PrintErrorLine("lost the connection to the X server");
    if (const SaverSettings* stored = StoredSettings.load()) SaveSettings(*stored);
    _exit(ExitBadInput);
}

[[noreturn]] int LoseConnection(Display*)
{
    EndForLostConnection();
}

std::string WindowName(unsigned long window)
{
    char name[32];
    std::snprintf(name, sizeof name, "0x%lx", window);
    return name;
}

Cursor MakeBlankCursor(Display* display, Window window)
{
    static const char empty[1] = {0};
    const Pixmap pixmap = XCreateBitmapFromData(display, window, empty, 1, 1);
    XColor black{};
    const Cursor cursor = XCreatePixmapCursor(display, pixmap, pixmap, &black, &black, 0, 0);
    XFreePixmap(display, pixmap);
    return cursor;
}

// The full-screen saver's window covers the whole X screen (every monitor) above everything
// and without a frame; -window makes an ordinary top-level window.
Window MakeOwnWindow(Display* display, const RunPlan& plan, const HackOptions& options)
{
    const int screen = DefaultScreen(display);
    const bool fullScreen = plan.mode == RunMode::FullScreen;
    const int screenWidth = DisplayWidth(display, screen);
    const int screenHeight = DisplayHeight(display, screen);
    int x = 0;
    int y = 0;
    unsigned width = static_cast<unsigned>(screenWidth);
    unsigned height = static_cast<unsigned>(screenHeight);
    if (!fullScreen && options.geometry) {
        const WindowGeometry& g = *options.geometry;
        width = g.width;
        height = g.height;
        if (g.placed) {
            x = g.fromRight ? screenWidth - g.x - static_cast<int>(width) : g.x;
            y = g.fromBottom ? screenHeight - g.y - static_cast<int>(height) : g.y;
        }
    }

    XSetWindowAttributes attributes{};
    attributes.background_pixel = BlackPixel(display, screen);
    attributes.override_redirect = fullScreen ? True : False;
    attributes.event_mask =
        StructureNotifyMask | VisibilityChangeMask | ExposureMask | KeyPressMask;
    if (fullScreen) attributes.event_mask |= ButtonPressMask | PointerMotionMask | FocusChangeMask;
    const Window window =
        XCreateWindow(display, RootWindow(display, screen), x, y, width, height, 0, CopyFromParent,
                      InputOutput, CopyFromParent, CWBackPixel | CWOverrideRedirect | CWEventMask,
                      &attributes);

    XStoreName(display, window, "Tavrel");
    XClassHint classHint{};
    char name[] = "tavrel";
    char className[] = "Tavrel";
    classHint.res_name = name;
    classHint.res_class = className;
    XSetClassHint(display, window, &classHint);
    if (!fullScreen) {
        WindowCloseAtoms.protocols = XInternAtom(display, "WM_PROTOCOLS", False);
        WindowCloseAtoms.deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
        Atom deleteWindow = WindowCloseAtoms.deleteWindow;
        XSetWMProtocols(display, window, &deleteWindow, 1);
        XSizeHints hints{};
        hints.flags = PSize | (options.geometry && options.geometry->placed ? USPosition : 0);
        hints.x = x;
        hints.y = y;
        hints.width = static_cast<int>(width);
        hints.height = static_cast<int>(height);
        XSetWMNormalHints(display, window, &hints);
    }
    return window;
}

// Someone else's window: its size and state now, and its changes from now on. False when the id
// names no window.
bool WatchGivenWindow(Display* display, Window window, std::string& reason)
{
    XWindowAttributes attributes{};
    if (window == 0 || XGetWindowAttributes(display, window, &attributes) == 0) {
        reason = "there is no window " + WindowName(window) + " on the display";
        return false;
    }
    X11Host.width = attributes.width;
    X11Host.height = attributes.height;
    // A mapped window under an unmapped parent still gets our frames; they cost nothing shown.
    X11Host.mapped = attributes.map_state != IsUnmapped;
    XSelectInput(display, window, StructureNotifyMask | VisibilityChangeMask | ExposureMask);
    return true;
}

// The desktop the spots light, taken before the saver's window shows. Returns an exit status
// when the run cannot go on, else -1.
int TakeDesktopPicture(SurfaceFields& surface, Display* display, const HackOptions& options,
                       const RunPlan& plan, int32_t screenWidth, int32_t screenHeight)
{
    std::string reason;
    if (!options.imagePath.empty()) {
        if (UseDesktopPictureFile(surface, options.imagePath, reason)) return -1;
        // A blank screen under XScreenSaver helps nobody; elsewhere the mistake is the user's.
        if (!plan.underXScreenSaver) {
            PrintErrorLine(reason.c_str());
            return ExitBadInput;
        }
    } else {
        DesktopSnapshot snapshot;
        bool grabbed = false;
        if (plan.underXScreenSaver) {
            // The screen is blanked already: XScreenSaver's helper knows what was on it, or
            // what the user chose to show instead.
            grabbed = GrabWithPictureHelper(display, X11Host.window, PictureHelperTimeoutMs,
                                            TerminationSignalFd(), snapshot, reason);
        } else {
            grabbed = GrabWindowPixels(display, X11Host.root, snapshot, reason);
        }
        if (grabbed && UseDesktopSnapshot(surface, snapshot, reason)) return -1;
    }
    // The helper paints the window's own size; a grab of the screen is the screen's.
    const int32_t width = plan.underXScreenSaver ? X11Host.width : screenWidth;
    const int32_t height = plan.underXScreenSaver ? X11Host.height : screenHeight;
    return ShowDemoDesktopInstead(surface, reason, width, height);
}

// The window's visual is one the processor's frames can be shown in.
bool PresenterCanShowIn(Display* display, Window window)
{
    X11Presenter* probe = OpenX11Presenter(display, window, 0, 0);
    const bool usable = probe != nullptr;
    CloseX11Presenter(probe);
    return usable;
}

void OnTick(SaverSession& session, int64_t now)
{
    int32_t frameWidth = 0;
    int32_t frameHeight = 0;
    GetFrameSize(session.run.renderer, frameWidth, frameHeight);
    if (HasRenderDevice(session.run) && X11Host.width > 0 && X11Host.height > 0 &&
        (X11Host.width != frameWidth || X11Host.height != frameHeight) &&
        now - X11Host.resizedAtNs >= ResizeSettleNs) {
        ResizeSaver(session, X11Host.width, X11Host.height);
    }
    // Nobody would see the frame.
    if (!X11Host.mapped || X11Host.fullyObscured) {
        X11Host.skippedTicks = true;
        return;
    }
    OnSaverTimerAfterSkips(session, X11Host.skippedTicks);
}

void HandleEvent(SaverSession& session, const XEvent& event, RunMode mode)
{
    const SaverEvent saverEvent =
        TranslateX11Event(event, X11Host.window, WindowCloseAtoms, X11Host.keyboardGrabbed);
    const bool fullScreen = mode == RunMode::FullScreen;
    switch (saverEvent.kind) {
    case SaverEventKind::PointerMoved:
        if (fullScreen) {
            OnSaverMouseMove(session, static_cast<uint32_t>(saverEvent.x),
                             static_cast<uint32_t>(saverEvent.y));
        }
        break;
    case SaverEventKind::KeyPressed:
        if (fullScreen) OnSaverKeyDown(session);
        if (mode == RunMode::OwnWindow) PostCloseMessage(X11Host.window);
        break;
    case SaverEventKind::ButtonPressed:
        if (fullScreen) OnSaverButtonDown(session);
        break;
    case SaverEventKind::FocusLost:
        if (fullScreen) OnSaverActivateApp(session, false);
        break;
    case SaverEventKind::CloseAsked: PostCloseMessage(X11Host.window); break;
    case SaverEventKind::Resized:
        if (saverEvent.width != X11Host.width || saverEvent.height != X11Host.height) {
            X11Host.width = saverEvent.width;
            X11Host.height = saverEvent.height;
            X11Host.resizedAtNs = MonotonicNanoseconds();
        }
        break;
    case SaverEventKind::Mapped: X11Host.mapped = true; break;
    case SaverEventKind::Unmapped: X11Host.mapped = false; break;
    case SaverEventKind::VisibilityChanged: X11Host.fullyObscured = saverEvent.fullyObscured; break;
    case SaverEventKind::Exposed:
        // OpenGL draws the whole window every frame; the processor sends only what changed, so
        // what the server lost comes back from the presenter's copy of the last frame.
        if (X11Host.drawing == DrawingPath::Cpu && HasRenderDevice(session.run)) {
            RepaintX11(X11PresenterOf(session.run.renderer), saverEvent.x, saverEvent.y,
                       saverEvent.width, saverEvent.height);
        }
        break;
    case SaverEventKind::Destroyed:
        // Whoever destroyed it ended the saver: the close runs, without the window.
        X11Host.windowGone = true;
        X11Host.closeQueued = true;
        break;
    case SaverEventKind::Ignored: break;
    }
}

void RunEventLoop(SaverSession& session, Display* display, RunMode mode)
{
    const int connection = ConnectionNumber(display);
    while (!X11Host.quitPosted) {
        // Also takes what the OpenGL driver read off the connection while drawing, which a
        // wait on the socket alone would not see.
        while (!X11Host.quitPosted && XPending(display) > 0) {
            XEvent event{};
            XNextEvent(display, &event);
            HandleEvent(session, event, mode);
        }
        if (X11Host.quitPosted) break;
        if (X11Host.closeQueued) {
            X11Host.closeQueued = false;
            CloseSaver(session);
            continue;
        }
        if (X11Host.destroyQueued) {
            X11Host.destroyQueued = false;
            if (session.windowDestroyed == 0) OnSaverDestroy(session);
            continue;
        }

        const int64_t now = MonotonicNanoseconds();
        timespec timeout{};
        const timespec* wait = nullptr;
        if (X11Host.timerRunning) {
            const int64_t left = X11Host.nextTickNs > now ? X11Host.nextTickNs - now : 0;
            timeout.tv_sec = static_cast<time_t>(left / 1000000000);
            timeout.tv_nsec = static_cast<long>(left % 1000000000);
            wait = &timeout;
        }
        pollfd waits[2] = {{connection, POLLIN, 0}, {TerminationSignalFd(), POLLIN, 0}};
        ppoll(waits, 2, wait, nullptr);
        // The OpenGL driver may be the first to meet a server that went away, and then Xlib
        // never hears of it: the socket's hang-up says it for both.
        if ((waits[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) EndForLostConnection();
        if ((waits[1].revents & POLLIN) != 0 && SignalArrived()) {
            X11Host.closeQueued = true;
            continue;
        }
        const int64_t after = MonotonicNanoseconds();
        if (X11Host.timerRunning && TakeDueTick(after, X11Host.nextTickNs)) OnTick(session, after);
    }
}

// The probe's child cannot share the parent's connection.
DrawingPath AskEglOnOwnX11(const void* name)
{
    Display* own = XOpenDisplay(static_cast<const char*>(name));
    return AskEgl(EglPlatform::X11, own);
}

void CloseDisplay(Display* display)
{
    StopConnectionWatch();
    if (X11Host.blankCursor != 0) XFreeCursor(display, X11Host.blankCursor);
    if (X11Host.ownWindow && !X11Host.windowGone) XDestroyWindow(display, X11Host.window);
    XSync(display, False);
    XCloseDisplay(display);
    X11Host = X11HostState{};
    WindowServices = &HeadlessWindowServices;
}

}  // namespace

int RunX11Saver(const HackOptions& options, const RunPlan& plan)
{
    std::string reason;
    if (!InstallSignals(reason)) {
        PrintErrorLine(reason.c_str());
        return ExitFailed;
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        const char* name = XDisplayName(nullptr);
        const std::string line =
            "cannot open the display '" + std::string(name != nullptr ? name : "") + "'";
        PrintErrorLine(line.c_str());
        return ExitBadInput;
    }
    XSetErrorHandler(IgnoreXError);
    XSetIOErrorHandler(LoseConnection);
    fcntl(ConnectionNumber(display), F_SETFD, FD_CLOEXEC);
    StartConnectionWatch(ConnectionNumber(display), EndForLostConnection);

    const int screen = DefaultScreen(display);
    const int32_t screenWidth = DisplayWidth(display, screen);
    const int32_t screenHeight = DisplayHeight(display, screen);
    X11Host = X11HostState{};
    X11Host.display = display;
    X11Host.root = RootWindow(display, screen);
    if (plan.mode == RunMode::GivenWindow) {
        X11Host.window = plan.window != 0 ? plan.window : X11Host.root;
        if (!WatchGivenWindow(display, X11Host.window, reason)) {
            PrintErrorLine(reason.c_str());
            CloseDisplay(display);
            return ExitBadInput;
        }
    } else {
        X11Host.window = MakeOwnWindow(display, plan, options);
        X11Host.ownWindow = true;
        XWindowAttributes attributes{};
        XGetWindowAttributes(display, X11Host.window, &attributes);
        X11Host.width = attributes.width;
        X11Host.height = attributes.height;
    }
    X11Host.blankCursor = MakeBlankCursor(display, X11Host.window);

    // The run's start: generator, settings, desktop.
    SaverSession session;
    SaverRun& run = session.run;
    StartLinuxRun(run, options);
    StoredSettings = &run.StoredSettings;
    const int failed =
        TakeDesktopPicture(run.surface, display, options, plan, screenWidth, screenHeight);
    if (failed >= 0) {
        StoredSettings = nullptr;
        FreeSurfaceFields(run.surface);
        CloseDisplay(display);
        return failed;
    }

    // The one place where the drawing path is chosen: the processor where OpenGL would be a
    // software rasteriser or is missing, unless the window is one it cannot show frames in.
    X11Host.drawing =
        ChooseDrawingPath(options.renderer, "/dev/dri", AskEglOnOwnX11, DisplayString(display));
    if (X11Host.drawing == DrawingPath::Cpu && options.renderer == RendererChoice::Auto &&
        !PresenterCanShowIn(display, X11Host.window)) {
        X11Host.drawing = DrawingPath::OpenGl;
    }
    UseRendererBackEnd(X11Host.drawing == DrawingPath::Cpu ? RendererBackEndKind::Cpu
                                                           : RendererBackEndKind::OpenGl);

    session.previewFlag = plan.mode == RunMode::FullScreen ? 0 : 1;
    session.saverWindow = X11Host.window;
    X11Host.session = &session;
    X11Host.holdsInput = session.previewFlag == 0;
    WindowServices = &X11WindowServices;
    SetRendererNativeDisplay(NativeDisplay{NativeDisplayKind::X11, display});

    OnSaverCreate(session, X11Host.window);
    if (X11Host.ownWindow) XMapRaised(display, X11Host.window);
    StartRendering(session, X11Host.window);
    if (X11Host.drawing == DrawingPath::OpenGl) KeepLoadedLibraries();
    int status = ExitDone;
    if (!HasRenderDevice(run)) {
        // The renderer has said what failed, in its own words; the window has ended.
        if (run.renderer == nullptr && X11Host.drawing == DrawingPath::OpenGl) {
            PrintErrorLine(
                "no OpenGL for X11 windows: the saver needs EGL with Mesa's X11 "
                "platform (package libegl-mesa0)");
        } else if (X11Host.drawing == DrawingPath::Cpu && !X11Host.windowGone &&
                   !PresenterCanShowIn(display, X11Host.window)) {
            PrintErrorLine(("frames drawn on the processor cannot be shown in window " +
                            WindowName(X11Host.window) +
                            ": it needs a TrueColor visual of depth 24 or 32 (-renderer gl)")
                               .c_str());
        }
        status = ExitFailed;
    } else {
        ParkCursor(session);
        RunEventLoop(session, display, plan.mode);
        // Ended without the close: the device could not be made again at a new size.
        if (session.windowClosed == 0) status = ExitFailed;
    }

    ReleaseUnclosedRun(session);
    SetRendererNativeDisplay(NativeDisplay{});
    StoredSettings = nullptr;
    CloseDisplay(display);
    return status;
}
