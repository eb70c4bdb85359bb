// Which kind of run the options and the environment ask for. One program serves them all, so
// the choice is made here, at start, and not by the build.
#pragma once

#include <cstdint>
#include <string>

#include "host/linux/hack_options.h"

enum class RunMode {
    Headless,         // -render: frames into PNG files
    DefaultSequence,  // no display and no -render: a short sequence into the cache folder
    FullScreen,       // a display and nothing else: the saver itself
    OwnWindow,        // -window
    GivenWindow,      // -window-id, $XSCREENSAVER_WINDOW, -root
};

struct RunPlan {
    RunMode mode = RunMode::DefaultSequence;
    uint32_t window = 0;             // GivenWindow: the window; 0 for the screen's root window
    bool underXScreenSaver = false;  // $XSCREENSAVER_WINDOW is set: the desktop comes from its
                                     // picture helper
    bool wayland = false;  // FullScreen or OwnWindow with WAYLAND_DISPLAY set: the compositor
                           // is tried first
};

// True for a variable that is set to something; an empty value counts as unset.
bool IsSet(const char* variable);

// Chooses from the options and the values of XSCREENSAVER_WINDOW, DISPLAY and WAYLAND_DISPLAY
// (null when unset); a Wayland compositor may serve the full screen and -window.
// -window-id goes before -window, which goes before -root and $XSCREENSAVER_WINDOW.
// False, with one line in error, for a mode that needs a display without DISPLAY set, a
// $XSCREENSAVER_WINDOW that is no window id where it would be used, or options of a run without
// a window (-frames, -size, -dump-spots) or of a window (-window, -window-id,
// -root, -geometry) given to the other kind. Under XScreenSaver such options are dropped
// instead, with a note added to options.notes.
bool ChooseRunMode(HackOptions& options, const char* screensaverWindow, const char* display,
                   RunPlan& plan, std::string& error, const char* waylandDisplay = nullptr);
