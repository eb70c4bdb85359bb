#include "support/posix/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "support/posix/monotonic_clock.h"

extern char** environ;

namespace {

int64_t NowMs()
{
    return MonotonicNanoseconds() / 1000000;
}

int StatusOf(int waitStatus)
{
    if (WIFEXITED(waitStatus)) return WEXITSTATUS(waitStatus);
    if (WIFSIGNALED(waitStatus)) return 128 + WTERMSIG(waitStatus);
    return -1;
}

// A descriptor that becomes readable when the child ends, or -1 where the kernel has none.
int OpenProcessFd(pid_t pid)
{
#ifdef SYS_pidfd_open
    const long fd = syscall(SYS_pidfd_open, pid, 0);
    return fd >= 0 ? static_cast<int>(fd) : -1;
#else
    (void)pid;
    return -1;
#endif
}

bool Readable(int fd)
{
    if (fd < 0) return false;
    pollfd entry{fd, POLLIN, 0};
    return poll(&entry, 1, 0) > 0;
}

}  // namespace

ChildOutcome RunChildProcess(const char* const* argv, int32_t timeoutMs, int cancelFd,
                             int& exitStatus)
{
    exitStatus = -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGTERM);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGHUP);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF |
                                              POSIX_SPAWN_SETSIGMASK);
    pid_t pid = 0;
    const int spawned =
        posix_spawnp(&pid, argv[0], &actions, &attributes, const_cast<char* const*>(argv), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return ChildOutcome::NotFound;

    const int processFd = OpenProcessFd(pid);
    const int64_t deadline = NowMs() + timeoutMs;
    ChildOutcome outcome = ChildOutcome::TimedOut;
    for (;;) {
        int waitStatus = 0;
        const pid_t ended = waitpid(pid, &waitStatus, WNOHANG);
        if (ended == pid) {
            exitStatus = StatusOf(waitStatus);
            outcome = ChildOutcome::Exited;
            break;
        }
        if (ended < 0 && errno != EINTR) {
            // Reaped elsewhere (SIGCHLD ignored): it has ended, how is not known.
            outcome = ChildOutcome::Exited;
            break;
        }
        if (Readable(cancelFd)) {
            outcome = ChildOutcome::Cancelled;
            break;
        }
        const int64_t left = deadline - NowMs();
        if (left <= 0) break;
        // Without a process descriptor the child's end is looked for every 10 ms.
        pollfd entries[2] = {{processFd, POLLIN, 0}, {cancelFd, POLLIN, 0}};
        const int64_t wait = processFd >= 0 ? left : (left < 10 ? left : 10);
        poll(entries, 2, static_cast<int>(wait));
    }
    if (outcome != ChildOutcome::Exited) {
        kill(-pid, SIGKILL);
        while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    if (processFd >= 0) close(processFd);
    return outcome;
}
