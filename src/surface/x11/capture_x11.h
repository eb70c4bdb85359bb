// The desktop picture on X11: read from the screen, or painted by XScreenSaver's own picture
// helper (which honours the user's choice of desktop, picture folder or colour bars).
#pragma once

#include <cstdint>
#include <string>

#include "surface/picture/desktop_source.h"

struct _XDisplay;

// The window's pixels as they are on the screen, at its full size; for the root window that is
// the whole screen with every window on it. False, with a reason of one line, for a visual
// that is not TrueColor, a layout that cannot be read or a window that cannot be read.
bool GrabWindowPixels(_XDisplay* display, unsigned long window, DesktopSnapshot& snapshot,
                      std::string& reason);

inline constexpr const char* PictureHelperProgram = "xscreensaver-getimage";
inline constexpr int32_t PictureHelperTimeoutMs = 5000;

// Has PictureHelperProgram paint a picture of the window's size into a pixmap (as the hacks of
// XScreenSaver get theirs) and reads it back. The helper may unmap and raise the window
// meanwhile. It gets timeoutMs; a readable cancelFd (not read) gives up at once. False, with a
// reason of one line, when it is missing, fails, hangs or paints something unreadable.
bool GrabWithPictureHelper(_XDisplay* display, unsigned long window, int32_t timeoutMs,
                           int cancelFd, DesktopSnapshot& snapshot, std::string& reason);
