#include "support/posix/termination_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace {

int SignalPipe[2] = {-1, -1};  // process-wide: OnTerminationSignal has nowhere else to look

void OnTerminationSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(SignalPipe[1], &byte, 1);
    errno = saved;
}

}  // namespace

bool InstallTerminationSignals()
{
    if (pipe2(SignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return false;
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
    return true;
}

int TerminationSignalFd()
{
    return SignalPipe[0];
}

bool SignalArrived()
{
    char bytes[16];
    bool arrived = false;
    while (read(SignalPipe[0], bytes, sizeof bytes) > 0) arrived = true;
    return arrived;
}

void RemoveTerminationSignals()
{
    signal(SIGTERM, SIG_DFL);
    signal(SIGINT, SIG_DFL);
    for (int& fd : SignalPipe) {
        if (fd >= 0) close(fd);
        fd = -1;
    }
}
