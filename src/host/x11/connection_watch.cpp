#include "host/x11/connection_watch.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <thread>

namespace {

// Time for the main thread to see the hang-up itself, at its next wait (within a tick).
constexpr int GraceMs = 1000;

std::thread Watch;
int StopPipe[2] = {-1, -1};

void WatchConnection(int connectionFd, void (*onLost)())
{
    // A hang-up is reported whatever is asked for; asking for nothing keeps the wait asleep
    // while the connection carries events.
    pollfd waits[2] = {{connectionFd, 0, 0}, {StopPipe[0], POLLIN, 0}};
    for (;;) {
        if (poll(waits, 2, -1) < 0) continue;
        if ((waits[1].revents & POLLIN) != 0) return;
        if ((waits[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) break;
    }
    pollfd stop{StopPipe[0], POLLIN, 0};
    if (poll(&stop, 1, GraceMs) > 0) return;
    onLost();
}

}  // namespace

bool StartConnectionWatch(int connectionFd, void (*onLost)())
{
    if (Watch.joinable() || pipe2(StopPipe, O_CLOEXEC) != 0) return false;
    Watch = std::thread(WatchConnection, connectionFd, onLost);
    return true;
}

void StopConnectionWatch()
{
    if (!Watch.joinable()) return;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(StopPipe[1], &byte, 1);
    Watch.join();
    close(StopPipe[0]);
    close(StopPipe[1]);
    StopPipe[0] = StopPipe[1] = -1;
}
