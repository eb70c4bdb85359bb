// Runs a helper program and waits for it, but not for ever: a helper that hangs must not keep
// the saver from drawing.
#pragma once

#include <cstdint>

enum class ChildOutcome {
    Exited,     // ran and ended by itself; exitStatus holds its status (128 + n for signal n)
    NotFound,   // the program could not be started (not on PATH, not executable)
    TimedOut,   // still running when the time was up: it was killed
    Cancelled,  // cancelFd became readable first: it was killed
};

// Starts argv[0] (searched on PATH) with argv, standard input and output on /dev/null and the
// standard error shared, in a process group of its own with the signals it may have inherited
// ignored or blocked set back to normal. Waits at most timeoutMs, or until cancelFd (if not -1)
// is readable (nothing is read from it). A helper that is killed takes its whole process group
// with it, so that its own children do not live on.
ChildOutcome RunChildProcess(const char* const* argv, int32_t timeoutMs, int cancelFd,
                             int& exitStatus);
