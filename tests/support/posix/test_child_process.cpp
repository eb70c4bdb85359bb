// A helper program run with a time limit: its status, a missing program, one that hangs (with
// its own children), and giving up when asked.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "common/temp_folder.h"
#include "support/posix/child_process.h"

namespace {

using Clock = std::chrono::steady_clock;

struct HelperRun {
    ChildOutcome outcome;
    int status;
    double seconds;
};

HelperRun Shell(const std::string& script, int32_t timeoutMs, int cancelFd = -1)
{
    const char* argv[] = {"sh", "-c", script.c_str(), nullptr};
    const auto start = Clock::now();
    HelperRun run{};
    run.outcome = RunChildProcess(argv, timeoutMs, cancelFd, run.status);
    run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return run;
}

// A process that is neither running nor left unreaped by us.
bool Gone(pid_t pid)
{
    for (int i = 0; i < 100; ++i) {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string text;
        if (!std::getline(stat, text)) return true;
        const size_t close = text.rfind(')');
        if (close != std::string::npos && close + 2 < text.size() && text[close + 2] == 'Z') {
            return true;  // killed, waiting for whoever adopted it to reap it
        }
        usleep(10000);
    }
    return false;
}

TEST(ChildProcess, ExitStatusOfAHelperThatEnds)
{
    const HelperRun ok = Shell("exit 0", 5000);
    EXPECT_EQ(ok.outcome, ChildOutcome::Exited);
    EXPECT_EQ(ok.status, 0);
    const HelperRun failed = Shell("exit 3", 5000);
    EXPECT_EQ(failed.outcome, ChildOutcome::Exited);
    EXPECT_EQ(failed.status, 3);
    EXPECT_LT(failed.seconds, 2.0);
}

TEST(ChildProcess, AMissingProgramIsNotFound)
{
    const char* argv[] = {"tavrel-no-such-helper", "0x1", nullptr};
    int status = 0;
    EXPECT_EQ(RunChildProcess(argv, 5000, -1, status), ChildOutcome::NotFound);
}

TEST(ChildProcess, AHangingHelperIsKilledWithItsChildrenWhenTheTimeIsUp)
{
    TempFolder folder;
    const std::string pidFile = folder / "grandchild";
    const HelperRun run = Shell("sleep 30 & echo $! > '" + pidFile + "'; wait", 300);
    EXPECT_EQ(run.outcome, ChildOutcome::TimedOut);
    EXPECT_GE(run.seconds, 0.25);
    EXPECT_LT(run.seconds, 3.0);
    std::ifstream file(pidFile);
    pid_t grandchild = 0;
    ASSERT_TRUE(file >> grandchild);
    EXPECT_TRUE(Gone(grandchild)) << grandchild;
}

TEST(ChildProcess, AReadableCancelDescriptorEndsTheWaitAtOnce)
{
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    ASSERT_EQ(write(fds[1], "x", 1), 1);
    const HelperRun run = Shell("sleep 30", 10000, fds[0]);
    EXPECT_EQ(run.outcome, ChildOutcome::Cancelled);
    EXPECT_LT(run.seconds, 3.0);
    // Nothing was taken from it: the caller still sees why it gave up.
    char byte = 0;
    EXPECT_EQ(read(fds[0], &byte, 1), 1);
    close(fds[0]);
    close(fds[1]);
}

TEST(ChildProcess, SignalsTheParentIgnoresAreNormalAgainInTheHelper)
{
    // A saver ignores SIGPIPE and catches SIGTERM; its helper must not inherit that.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction previous {};
    sigaction(SIGTERM, &ignore, &previous);
    const HelperRun run = Shell("kill -TERM $$; sleep 5", 10000);
    sigaction(SIGTERM, &previous, nullptr);
    EXPECT_EQ(run.outcome, ChildOutcome::Exited);
    EXPECT_EQ(run.status, 128 + SIGTERM);
}

}  // namespace
