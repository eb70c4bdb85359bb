// The watch over the X connection's socket: a hang-up is acted on after the grace period, a
// watch that is stopped first never acts.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "host/x11/connection_watch.h"

namespace {

std::atomic<int> LostCalls{0};

void CountLoss()
{
    ++LostCalls;
}

TEST(ConnectionWatch, AHangUpIsActedOnOnceAfterTheGrace)
{
    int ends[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
    LostCalls = 0;
    ASSERT_TRUE(StartConnectionWatch(ends[0], CountLoss));
    // Traffic on a live connection is no reason.
    ASSERT_EQ(write(ends[1], "event", 5), 5);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(LostCalls, 0);

    const auto start = std::chrono::steady_clock::now();
    close(ends[1]);
    while (LostCalls == 0 && std::chrono::steady_clock::now() - start < std::chrono::seconds(5)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(LostCalls, 1);
    // The main thread gets its chance first.
    EXPECT_GE(waited, std::chrono::milliseconds(900));
    StopConnectionWatch();
    close(ends[0]);
}

TEST(ConnectionWatch, AWatchStoppedBeforeTheHangUpNeverActs)
{
    int ends[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
    LostCalls = 0;
    ASSERT_TRUE(StartConnectionWatch(ends[0], CountLoss));
    close(ends[1]);
    // Stopped within the grace: the process ended the saver the ordinary way.
    StopConnectionWatch();
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    EXPECT_EQ(LostCalls, 0);
    // And another watch can be started afterwards.
    ASSERT_TRUE(StartConnectionWatch(ends[0], CountLoss));
    StopConnectionWatch();
    close(ends[0]);
}

}  // namespace
