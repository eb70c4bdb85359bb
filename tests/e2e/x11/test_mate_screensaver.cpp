// Tavrel as a theme of MATE's screensaver (Debian 12's mate-screensaver), as a user has it: the
// files `cmake --install` puts in /usr, a D-Bus session, the screensaver's settings (gsettings,
// through dconf) naming Tavrel as its only theme. Activated, it runs the program from the
// desktop entry's Exec line in its own window, with XSCREENSAVER_WINDOW set and a reduced
// environment; deactivated, it ends it with SIGTERM.
//
// MATE finds its themes through the desktop entries in applications/screensavers below
// $XDG_DATA_DIRS, so the staged entry is found there; but it runs only programs in
// /usr/libexec/xscreensaver and its own folders. So the test runs in a mount namespace of its
// own, where /usr/libexec/xscreensaver is the staged folder laid over the real one (overlayfs,
// read only): nothing is written into /usr, and no other process sees the program there. That
// needs root, as does the throwaway user MATE runs as.
#include <gtest/gtest.h>

#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "session_user.h"
#include "x11_session.h"

namespace {

constexpr const char* HackFolder = "/usr/libexec/xscreensaver";

// Pixels of a shot that are lit and differ sharply from their right or lower neighbour: the
// edges of the embossed desktop under a spot (a plain spot of light has none). Rows near the
// top and bottom, where the clock and the banner are drawn, are left out.
size_t CountLitEdges(const Shot& shot)
{
    const auto level = [&](int32_t x, int32_t y) {
        const uint8_t* p = shot.At(x, y);
        return int(std::max({p[0], p[1], p[2]}));
    };
    size_t edges = 0;
    for (int32_t y = 40; y + 40 < shot.height; ++y) {
        for (int32_t x = 0; x + 1 < shot.width; ++x) {
            const int here = level(x, y);
            if (here < 48) continue;
            if (std::abs(here - level(x + 1, y)) >= 24 || std::abs(here - level(x, y + 1)) >= 24) {
                ++edges;
            }
        }
    }
    return edges;
}

class MateScreensaver : public testing::Test {
protected:
    void SetUp() override
    {
        if (geteuid() != 0) {
            GTEST_SKIP() << "needs root: a mount namespace for " << HackFolder
                         << ", and a throwaway user";
        }
        ASSERT_TRUE(user.Ready()) << "no user to run mate-screensaver as";
        struct stat hacks {};
        ASSERT_EQ(stat(HackFolder, &hacks), 0)
            << HackFolder << " is missing (xscreensaver-data, tools/setup)";

        // The files as the package has them, for /usr, staged in a folder the user can read.
        ASSERT_EQ(chmod(folder_.Path().c_str(), 0755), 0);
        stage = folder_ / "stage";
        ASSERT_EQ(RunCommand({"env", "DESTDIR=" + stage, TAVREL_CMAKE, "--install",
                              TAVREL_BUILD_DIR, "--prefix", "/usr"}),
                  0);
        ASSERT_TRUE(FileExists(stage + "/usr/share/applications/screensavers/tavrel.desktop"));

        // This process's own view of the mounts, which its children inherit, and the program
        // in /usr/libexec/xscreensaver there, beside the display modes installed.
        ASSERT_EQ(unshare(CLONE_NEWNS), 0) << std::strerror(errno);
        ASSERT_EQ(mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr), 0)
            << std::strerror(errno);
        const std::string layers = "lowerdir=" + stage + HackFolder + ":" + HackFolder;
        ASSERT_EQ(mount("overlay", HackFolder, "overlay", MS_RDONLY, layers.c_str()), 0)
            << "overlay on " << HackFolder << ": " << std::strerror(errno);
        ASSERT_TRUE(FileExists(std::string(HackFolder) + "/tavrel"));

        screen = std::make_unique<VirtualScreen>(640, 400, true);
        ASSERT_TRUE(screen->Started()) << "Xvfb did not start";
        screen->SetRootPicture(DemoDesktopShot(640, 400));

        // A session as a desktop has one: its bus, and the menus' view of MATE.
        const std::string bus = user / "bus";
        env = {"HOME=" + user.Home(), "USER=" + user.Name(), "LOGNAME=" + user.Name(),
               "PATH=/usr/bin:/bin", "DISPLAY=" + screen->Name(),
               "DBUS_SESSION_BUS_ADDRESS=unix:path=" + bus,
               "XDG_DATA_DIRS=" + stage + "/usr/share:/usr/share", "XDG_CURRENT_DESKTOP=MATE",
               // No accessibility bus: nothing here reads it.
               "NO_AT_BRIDGE=1"};
        busDaemon.pid = user.Start({DBUS_DAEMON_PROGRAM, "--session", "--nofork", "--nopidfile",
                                    "--address=unix:path=" + bus},
                                   env, folder_ / "dbus.log");
        ASSERT_GT(busDaemon.pid, 0);
        ASSERT_TRUE(WaitUntil(10.0, [&] { return FileExists(bus); }))
            << ReadFile(folder_ / "dbus.log");

        // Tavrel as the one theme; no lock, which would ask for a password on deactivation.
        for (const std::vector<std::string>& setting :
             {std::vector<std::string>{"mode", "single"},
              std::vector<std::string>{"themes", "['screensavers-tavrel']"},
              std::vector<std::string>{"lock-enabled", "false"},
              std::vector<std::string>{"idle-activation-enabled", "false"}}) {
            ASSERT_EQ(user.Run({GSETTINGS_PROGRAM, "set", "org.mate.screensaver", setting[0],
                                setting[1]},
                               env, folder_ / "gsettings.log"),
                      0)
                << setting[0] << ": " << ReadFile(folder_ / "gsettings.log");
        }

        mateLog = folder_ / "mate-screensaver.log";
        mate.pid = user.Start({MATE_SCREENSAVER_PROGRAM, "--no-daemon", "--debug"}, env, mateLog);
        ASSERT_GT(mate.pid, 0);
        ASSERT_TRUE(WaitUntil(15.0, [&] { return Command("--query") == 0; }))
            << "mate-screensaver does not answer:\n"
            << ReadFile(mateLog);
    }

    // mate-screensaver-command as the user, on its bus; its status.
    int Command(const std::string& what)
    {
        return user.Run({MATE_SCREENSAVER_COMMAND_PROGRAM, what}, env, folder_ / "command.log");
    }

    DaemonUser user;
    TempFolder folder_;
    std::string stage;
    std::unique_ptr<VirtualScreen> screen;
    std::vector<std::string> env;
    Started busDaemon;
    Started mate;
    std::string mateLog;
};

TEST_F(MateScreensaver, ActivatedTavrelDrawsInItsWindowAndDeactivatedEndsStoringItsSettings)
{
    const std::string settings = user / ".config/tavrel/settings.reg";
    ASSERT_EQ(Command("--activate"), 0) << ReadFile(folder_ / "command.log");

    pid_t tavrel = 0;
    Shot shot;
    const bool lit = WaitUntil(30.0, [&] {
        tavrel = ProcessNamed(user.Uid(), "tavrel");
        if (tavrel == 0) return false;
        shot = TakeScreenshot(*screen, folder_);
        return CountBright(shot, 200) >= 2000 && CountBright(shot, 48) < 640 * 400 / 2 &&
               CountLitEdges(shot) >= 300;
    });
    ASSERT_NE(tavrel, 0) << "mate-screensaver ran no tavrel:\n" << ReadFile(mateLog);
    EXPECT_TRUE(lit) << CountBright(shot, 200) << " lit pixels, " << CountLitEdges(shot)
                     << " lit edges; mate-screensaver said:\n"
                     << ReadFile(mateLog);
    WriteShotPng(shot, folder_ / "mate.png");

    // As the desktop entry says, in MATE's window, with only what MATE passes on.
    EXPECT_EQ(ProcessStrings(tavrel, "cmdline"),
              (std::vector<std::string>{std::string(HackFolder) + "/tavrel", "--root"}));
    const std::vector<std::string> environment = ProcessStrings(tavrel, "environ");
    const auto value = [&](const std::string& name) {
        for (const std::string& entry : environment) {
            if (entry.rfind(name + "=", 0) == 0) return entry.substr(name.size() + 1);
        }
        return std::string("(unset)");
    };
    uint32_t window = 0;
    EXPECT_TRUE(std::sscanf(value("XSCREENSAVER_WINDOW").c_str(), "0x%x", &window) == 1 &&
                window != 0 && window != screen->Root())
        << value("XSCREENSAVER_WINDOW");
    EXPECT_EQ(value("XDG_DATA_DIRS"), "(unset)");
    EXPECT_EQ(value("HOME"), user.Home());
    // Settings are stored when a run ends, not before.
    EXPECT_FALSE(FileExists(settings));

    const auto asked = std::chrono::steady_clock::now();
    ASSERT_EQ(Command("--deactivate"), 0) << ReadFile(folder_ / "command.log");
    EXPECT_TRUE(WaitUntil(5.0, [&] { return ProcessNamed(user.Uid(), "tavrel") == 0; }))
        << "tavrel still runs 5 s after the deactivation:\n"
        << ReadFile(mateLog);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - asked).count();
    std::printf("tavrel ended %.2f s after mate-screensaver-command --deactivate\n", seconds);
    EXPECT_EQ(ReadFile(settings).rfind("Windows Registry Editor Version 5.00\r\n", 0), 0u)
        << "no settings stored in " << settings;

    // What Tavrel said on its standard error, which MATE passes through: nothing.
    std::string own;
    const std::string log = ReadFile(mateLog);
    for (size_t at = log.find("tavrel: "); at != std::string::npos;
         at = log.find("tavrel: ", at + 1)) {
        own += log.substr(at, log.find('\n', at) - at) + "\n";
    }
    EXPECT_EQ(own, "");
}

}  // namespace
