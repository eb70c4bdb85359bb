// An output's picture through the screencopy protocol, as a desktop snapshot.
#pragma once

#include <cstdint>
#include <string>

struct wl_display;
struct wl_shm;
struct wl_output;
struct zwlr_screencopy_manager_v1;
struct DesktopSnapshot;

// Asks for a copy of the output and waits for it at most timeoutMs (or until cancelFd can be
// read: a signal). False, with a reason of one line, when the compositor refused, offered no
// buffer of 32-bit pixels, did not answer in time, or the connection failed.
bool CopyOutputPicture(wl_display* display, wl_shm* shm, zwlr_screencopy_manager_v1* manager,
                       wl_output* output, int32_t timeoutMs, int cancelFd,
                       DesktopSnapshot& snapshot, std::string& reason);
