// The saver on X11: the full-screen saver, a window of its own, or a window it is given
// (XScreenSaver's, a preview, the root). It drives the saver session with the X events of its
// window and paces frames with a blocking wait on the X connection.
#pragma once

#include <cstdint>

#include "host/drawing_choice.h"
#include "host/linux/hack_options.h"
#include "host/linux/run_mode.h"
#include "host/window_service_table.h"

struct _XDisplay;
struct SaverSession;

// The X11 host's record: process-wide because the window services and the X error handlers,
// which the session and Xlib call without it, reach it. Zero until RunX11Saver fills it.
struct X11HostState {
    SaverSession* session = nullptr;  // the run on show
    _XDisplay* display = nullptr;
    unsigned long root = 0;
    unsigned long window = 0;  // the window drawn in
    bool ownWindow = false;    // made here (full screen or -window): destroyed at the end
    bool windowGone = false;   // destroyed under us
    int32_t width = 0;         // the window's size as last reported
    int32_t height = 0;
    int64_t resizedAtNs = 0;  // when that size last changed
    bool mapped = false;
    bool fullyObscured = false;
    bool skippedTicks = false;  // ticks passed undrawn while the window could not be seen

    unsigned long blankCursor = 0;
    bool cursorHidden = false;
    bool keyboardGrabbed = false;
    bool pointerGrabbed = false;
    bool holdsInput = false;  // the full-screen saver takes the keyboard and the pointer

    DrawingPath drawing = DrawingPath::OpenGl;  // who should draw (see ChooseDrawingPath)

    bool timerRunning = false;
    int64_t nextTickNs = 0;  // CLOCK_MONOTONIC
    bool closeQueued = false;
    bool destroyQueued = false;
    bool quitPosted = false;
    int32_t exitCode = 0;
};

extern X11HostState X11Host;

// The window services of the X11 modes (messages for the user go to the standard error).
extern const WindowServiceTable X11WindowServices;

// Runs the saver as the plan says (FullScreen, OwnWindow or GivenWindow) and returns the exit
// status: 0 when it ended by its rules, a signal or the window going away; 1 without a device
// to draw with; 2 without a display or window to draw in, or for a picture that cannot be used.
int RunX11Saver(const HackOptions& options, const RunPlan& plan);
