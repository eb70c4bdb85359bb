// The saver run without a window: the real renderer draws into an offscreen back buffer the
// size of the desktop picture, and frames go to PNG files.
#pragma once

#include <string>

#include "host/linux/hack_options.h"

inline constexpr int ExitDone = 0;
inline constexpr int ExitFailed = 1;    // no device, or a file that could not be written
inline constexpr int ExitBadInput = 2;  // bad options, or a desktop picture that cannot be used

// The session's start (seed, settings, desktop, renderer, scene), options.frames ticks, then
// the session's close. The stored settings are written back as they were
// loaded: the overrides of the options are for this run only. Returns the exit status.
int RunHeadless(const HackOptions& options);

// Creates the folder and any missing parents. False, with a reason naming the folder, when it
// cannot be made or something other than a folder has its name.
bool MakeFolders(const std::string& path, std::string& reason);
