// Tavrel run by XScreenSaver's own daemon, as a user has it: a ~/.xscreensaver that lists
// Tavrel alone and lets display modes grab the desktop; the daemon blanks on command, runs the
// program in its window with the options of the programs line, and ends it with SIGTERM. And
// tavrel -add-to-xscreensaver putting Tavrel into the daemon's list.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "session_user.h"
#include "x11_session.h"

namespace {

// Records the saver's exit status and standard error by name; forwards the daemon's SIGTERM,
// which goes to this script's process, to the program.
const char* const Wrapper = R"(#!/bin/sh
name=$1
shift
dir=$(dirname "$0")
"$dir/tavrel" "$@" 2>"$dir/$name.stderr" &
child=$!
trap 'kill -TERM "$child"' TERM INT
wait "$child"
status=$?
# A wait cut short by the trap: the program's own status comes with the next one.
if [ "$status" -gt 128 ]; then wait "$child"; status=$?; fi
echo "$status" >"$dir/$name.status.tmp" && mv "$dir/$name.status.tmp" "$dir/$name.status"
)";

// Values a user chose before: two green lights, slow, with the clock.
const char* const StoredSettingsText =
    "Windows Registry Editor Version 5.00\r\n\r\n"
    "[HKEY_CURRENT_USER\\Control Panel\\Desktop\\3D Tavrel Screensaver]\r\n"
    "\"[bTnL]\"=dword:00000000\r\n"
    "\"[bTime]\"=dword:00000001\r\n"
    "\"[bFps]\"=dword:00000000\r\n"
    "\"[Prominent]\"=dword:00000001\r\n"
    "\"[Light Speed]\"=dword:00000021\r\n"
    "\"[Num Lights]\"=dword:00000001\r\n"
    "\"[Color Light]\"=dword:00000002\r\n"
    "\"[Version]\"=hex(1):31,2e,30\r\n";

// What the settings tool writes for five white lights at speed 80 (the clock left at its
// default: as stored), and a seed and a still clock for a picture that is the same every run.
const std::vector<std::string> Chosen = {"--lights", "5",      "--color", "white",        "--speed",
                                         "80",       "--seed", "5,6",     "--frame-time", "0"};
// The lines of the program's own, without those of the libraries it uses.
std::string OwnLines(const std::string& text)
{
    std::istringstream lines(text);
    std::string own;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("tavrel: ", 0) == 0) own += line + "\n";
    }
    return own;
}

std::string Joined(const std::vector<std::string>& words)
{
    std::string text;
    for (const std::string& word : words) text += " " + word;
    return text;
}

// Has the daemon do something; it answers once it runs.
void DaemonCommand(const VirtualScreen& screen, const std::string& daemonLog,
                   const std::vector<std::string>& what)
{
    std::vector<std::string> args = {XSCREENSAVER_COMMAND};
    args.insert(args.end(), what.begin(), what.end());
    ASSERT_TRUE(WaitUntil(15.0, [&] { return RunTool(screen, args) == 0; }))
        << "xscreensaver-command" << Joined(what) << " failed; the daemon said:\n"
        << ReadFile(daemonLog);
}

class XScreenSaverDaemon : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(user.Ready()) << "no user to run XScreenSaver as";
        screen = std::make_unique<VirtualScreen>(640, 400, true);
        ASSERT_TRUE(screen->Started()) << "Xvfb did not start";

        // A desktop that is not the built-in demo one, which stands in when no picture comes.
        const Shot large = DemoDesktopShot(800, 500);
        desktop = Shot{640, 400, std::vector<uint8_t>(640 * 400 * 3)};
        for (int32_t y = 0; y < 400; ++y) {
            std::memcpy(&desktop.rgb[3 * size_t(y) * 640], large.At(80, y + 60), 3 * 640);
        }
        screen->SetRootPicture(desktop);

        const std::string config = user / ".config";
        const std::string folder = config + "/tavrel";
        settingsFile = folder + "/settings.reg";
        ASSERT_TRUE(mkdir(config.c_str(), 0700) == 0 && mkdir(folder.c_str(), 0700) == 0);
        ASSERT_TRUE(WriteFile(settingsFile, StoredSettingsText, 0600));
        // The program, and the script that runs it and keeps what it says, in a folder of their
        // own that stays writable whatever the test does to the home.
        runFolder = user / "run";
        ASSERT_EQ(mkdir(runFolder.c_str(), 0755), 0);
        ASSERT_TRUE(WriteFile(Run("tavrel"), ReadFile(TAVREL_PROGRAM), 0755));
        ASSERT_TRUE(WriteFile(Run("run-tavrel"), Wrapper, 0755));
        // Tavrel alone, desktop grabs allowed. The first line as the settings tool writes it,
        // the second edited by hand.
        const std::string run = Run("run-tavrel");
        std::string dotFile =
            "mode: one\nselected: 0\ntimeout: 1:00:00\ncycle: 0\nlock: False\nfade: False\n"
            "unfade: False\nsplash: False\ngrabDesktopImages: True\ngrabVideoFrames: False\n"
            "chooseRandomImages: False\nprograms: \\\n";
        dotFile += "  \"Tavrel\" " + run + " chosen --root" + Joined(Chosen) + " \\n\\\n";
        dotFile += "  \"Tavrel, edited\" " + run +
                   " edited -root -lights 9 -colour red -delay 20000 -seed 5,6 -frame-time 0 \\n\n";
        ASSERT_TRUE(WriteFile(user / ".xscreensaver", dotFile, 0644));
        for (const std::string& path : {config, folder, settingsFile, runFolder, Run("tavrel"), run,
                                        user / ".xscreensaver"}) {
            ASSERT_TRUE(user.Own(path)) << path;
        }

        std::vector<std::string> env = {"HOME=" + user.Home(), "USER=" + user.Name(),
                                        "LOGNAME=" + user.Name(), "DISPLAY=" + screen->Name(),
                                        "PATH=/usr/bin:/bin"};
#ifdef TAVREL_SANITIZED
        // The leak checker, which the other X11 tests run on the same paths, can trip over
        // Mesa's thread-local blocks at exit (its tracer faults), which would change the status.
        const std::string asan = std::getenv("ASAN_OPTIONS") ? std::getenv("ASAN_OPTIONS") : "";
        env.push_back("ASAN_OPTIONS=" + asan + (asan.empty() ? "" : ":") + "detect_leaks=0");
#endif
        daemonLog = folder_ / "xscreensaver.log";
        daemon.pid = user.Start({XSCREENSAVER_PROGRAM, "-no-splash", "-verbose"}, env, daemonLog);
        ASSERT_GT(daemon.pid, 0);
    }

    std::string Run(const std::string& name) const
    {
        return runFolder + "/" + name;
    }

    // Has the daemon do something; it answers once it runs.
    void Command(const std::vector<std::string>& what)
    {
        DaemonCommand(*screen, daemonLog, what);
    }

    // Waits until the screen shows lit spots on a dark ground, and the program still runs.
    Shot WaitForLitScreen(const std::string& name)
    {
        Shot shot;
        WaitUntil(30.0, [&] {
            shot = TakeScreenshot(*screen, folder_);
            return (CountBright(shot, 200) >= 2000 && CountBright(shot, 48) < 640 * 400 / 2) ||
                   FileExists(Run(name + ".status"));
        });
        return shot;
    }

    // The program's exit status after SIGTERM from the daemon.
    std::string WaitForStatus(const std::string& name)
    {
        WaitUntil(15.0, [&] { return FileExists(Run(name + ".status")); });
        return ReadFile(Run(name + ".status"));
    }

    DaemonUser user;
    TempFolder folder_;
    std::unique_ptr<VirtualScreen> screen;
    Started daemon;
    Shot desktop;
    std::string settingsFile;
    std::string runFolder;
    std::string daemonLog;
};

// Blanked, the daemon runs Tavrel in its window over the grabbed desktop, exactly as the program
// draws that desktop without a window; unblanked, it ends it with SIGTERM, and the settings
// stored before are kept: the options of the programs line were for that run.
TEST_F(XScreenSaverDaemon, RunsTavrelOverTheGrabbedDesktopAndEndsIt)
{
    Command({"-activate"});
    const Shot lit = WaitForLitScreen("chosen");
    ASSERT_FALSE(FileExists(Run("chosen.status")))
        << "ended early: " << ReadFile(Run("chosen.stderr")) << ReadFile(daemonLog);
    EXPECT_TRUE(WriteShotPng(lit, TAVREL_DAEMON_SHOT));

    // The same desktop and options without a window: the same picture.
    const std::string desktopPng = folder_ / "desktop.png";
    ASSERT_TRUE(WriteShotPng(desktop, desktopPng));
    std::vector<std::string> args = Chosen;
    args.insert(args.end(), {"-image", desktopPng, "-render", folder_ / "headless.png"});
    SaverProcess headless;
    ASSERT_TRUE(headless.Start(*screen, folder_, args));
    EXPECT_EQ(headless.WaitForExit(60.0), 0) << headless.StandardError();
    int largest = 0;
    double mean = 0.0;
    CompareShots(lit, LoadShotPng(folder_ / "headless.png"), largest, mean);
    EXPECT_LT(mean, 2.0)
        << "the daemon's screen is not the desktop drawn by Tavrel (mean difference " << mean
        << ")";

    Command({"-deactivate"});
    EXPECT_EQ(WaitForStatus("chosen"), "0\n") << ReadFile(daemonLog);
    EXPECT_EQ(ReadFile(Run("chosen.stderr")), "");
    EXPECT_EQ(ReadFile(settingsFile), StoredSettingsText);
    const std::string log = ReadFile(daemonLog);
    EXPECT_NE(log.find("run-tavrel chosen --root --lights 5"), std::string::npos) << log;
}

// The programs line edited by hand, and a settings file the user cannot read: Tavrel still draws
// in the daemon's window, says in one line each what it left out, and keeps the file as it is.
TEST_F(XScreenSaverDaemon, AHandEditedLineAndAnUnreadableSettingsFileStillDraw)
{
    ASSERT_EQ(chmod(settingsFile.c_str(), 0), 0);
    Command({"-select", "2"});
    const Shot lit = WaitForLitScreen("edited");
    ASSERT_FALSE(FileExists(Run("edited.status")))
        << "ended early: " << ReadFile(Run("edited.stderr")) << ReadFile(daemonLog);
    EXPECT_GE(CountBright(lit, 200), 2000u);

    Command({"-deactivate"});
    EXPECT_EQ(WaitForStatus("edited"), "0\n") << ReadFile(daemonLog);
    EXPECT_EQ(ReadFile(Run("edited.stderr")),
              "tavrel: -lights 5 instead of '9' (expected 1 to 5); ignored '-colour'; ignored "
              "'red'; ignored '-delay'; ignored '20000'\n"
              "tavrel: cannot read " +
                  settingsFile +
                  " (Permission denied): the default settings are used and none are stored\n");
    ASSERT_EQ(chmod(settingsFile.c_str(), 0600), 0);
    EXPECT_EQ(ReadFile(settingsFile), StoredSettingsText);
    const std::string log = ReadFile(daemonLog);
    EXPECT_NE(log.find("run-tavrel edited -root -lights 9"), std::string::npos) << log;
}

// A home that cannot be written: Tavrel draws with the defaults and says once that it could not
// store its settings.
TEST_F(XScreenSaverDaemon, AHomeThatCannotBeWrittenStillDraws)
{
    ASSERT_EQ(RunCommand({"rm", "-rf", user / ".config"}), 0);
    ASSERT_EQ(chmod(user.Home().c_str(), 0555), 0);
    // Writable again at the end, so that the home can be removed.
    struct Writable {
        std::string home;
        ~Writable() { chmod(home.c_str(), 0755); }
    } const writable{user.Home()};
    Command({"-activate"});
    const Shot lit = WaitForLitScreen("chosen");
    EXPECT_FALSE(FileExists(Run("chosen.status")))
        << "ended early: " << ReadFile(Run("chosen.stderr")) << ReadFile(daemonLog);
    EXPECT_GE(CountBright(lit, 200), 2000u);

    Command({"-deactivate"});
    EXPECT_EQ(WaitForStatus("chosen"), "0\n") << ReadFile(daemonLog);
    // Mesa says on its own that it keeps no shader cache there.
    EXPECT_EQ(OwnLines(ReadFile(Run("chosen.stderr"))), "tavrel: cannot store the settings in " +
                                                            (user / ".config/tavrel/settings.reg") +
                                                            " (Permission denied)\n");
    EXPECT_FALSE(FileExists(user / ".config"));
}

}  // namespace

// tavrel -add-to-xscreensaver, run as the daemon's user: the daemon then runs Tavrel when it is
// selected, whether it was running already (it rereads its file when that changes) or starts
// with the file the command made. Here the daemon finds `tavrel` on its PATH, as it finds
// /usr/libexec/xscreensaver/tavrel once the package is installed.
class AddToXScreenSaver : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(user.Ready()) << "no user to run XScreenSaver as";
        runFolder = user / "bin";
        ASSERT_EQ(mkdir(runFolder.c_str(), 0755), 0);
        program = runFolder + "/tavrel";
        ASSERT_TRUE(WriteFile(program, ReadFile(TAVREL_PROGRAM), 0755));
        ASSERT_TRUE(user.Own(runFolder) && user.Own(program));
        dotFile = user / ".xscreensaver";
        env = {"HOME=" + user.Home(), "USER=" + user.Name(), "LOGNAME=" + user.Name(),
               "PATH=" + runFolder + ":/usr/bin:/bin"};
    }

    // The command as the user; its exit status, and what it said in `said`.
    int AddTavrel(std::string& said)
    {
        const std::string log = folder_ / "add.log";
        const int status = user.Run({program, "-add-to-xscreensaver"}, env, log);
        said = ReadFile(log);
        return status;
    }

    void StartDaemon()
    {
        screen = std::make_unique<VirtualScreen>(640, 400, true);
        ASSERT_TRUE(screen->Started()) << "Xvfb did not start";
        screen->SetRootPicture(DemoDesktopShot(640, 400));
        std::vector<std::string> daemonEnv = env;
        daemonEnv.push_back("DISPLAY=" + screen->Name());
#ifdef TAVREL_SANITIZED
        const std::string asan = std::getenv("ASAN_OPTIONS") ? std::getenv("ASAN_OPTIONS") : "";
        daemonEnv.push_back("ASAN_OPTIONS=" + asan + (asan.empty() ? "" : ":") + "detect_leaks=0");
#endif
        daemonLog = folder_ / "xscreensaver.log";
        daemon.pid =
            user.Start({XSCREENSAVER_PROGRAM, "-no-splash", "-verbose"}, daemonEnv, daemonLog);
        ASSERT_GT(daemon.pid, 0);
        Command({"-version"});
    }

    void Command(const std::vector<std::string>& what)
    {
        DaemonCommand(*screen, daemonLog, what);
    }

    // Tavrel running, as the daemon started it, and lit spots on the screen.
    void ExpectTavrelDrawn()
    {
        Shot shot;
        const bool lit = WaitUntil(30.0, [&] {
            shot = TakeScreenshot(*screen, folder_);
            return ProcessNamed(user.Uid(), "tavrel") != 0 && CountBright(shot, 200) >= 2000 &&
                   CountBright(shot, 48) < 640 * 400 / 2;
        });
        EXPECT_TRUE(lit) << CountBright(shot, 200) << " lit pixels; the daemon said:\n"
                         << ReadFile(daemonLog);
        const pid_t pid = ProcessNamed(user.Uid(), "tavrel");
        ASSERT_NE(pid, 0);
        const std::vector<std::string> command = ProcessStrings(pid, "cmdline");
        EXPECT_EQ(command, (std::vector<std::string>{"tavrel", "--root"}));
    }

    void Deactivate()
    {
        Command({"-deactivate"});
        EXPECT_TRUE(WaitUntil(10.0, [&] { return ProcessNamed(user.Uid(), "tavrel") == 0; }))
            << ReadFile(daemonLog);
    }

    DaemonUser user;
    TempFolder folder_;
    std::unique_ptr<VirtualScreen> screen;
    Started daemon;
    std::string runFolder;
    std::string program;
    std::string dotFile;
    std::string daemonLog;
    std::vector<std::string> env;
};

const char* const OneModeFile =
    "mode: one\nselected: 0\ntimeout: 1:00:00\ncycle: 0\nlock: False\nfade: False\n"
    "unfade: False\nsplash: False\ngrabDesktopImages: True\ngrabVideoFrames: False\n"
    "chooseRandomImages: False\n"
    "programs:\t\t\t\t\t\t\t\t      \\\n"
    "\t\t\t\tmaze -root\t\t\t\t    \\n\n"
    "\n"
    "pointerHysteresis:\t10\n";

TEST_F(AddToXScreenSaver, ARunningDaemonRunsTavrelOnceItIsAdded)
{
    ASSERT_TRUE(WriteFile(dotFile, OneModeFile, 0600) && user.Own(dotFile));
    StartDaemon();
    std::string said;
    EXPECT_EQ(AddTavrel(said), 0) << said;
    EXPECT_EQ(said, "tavrel: added Tavrel to the programs: list in " + dotFile + "\n");
    const std::string text = OneModeFile;
    const size_t end = text.find("    \\n\n") + 6;
    EXPECT_EQ(ReadFile(dotFile),
              text.substr(0, end) + "\\\n  \"Tavrel\"  tavrel --root  \\n" + text.substr(end));
    struct stat st {};
    ASSERT_EQ(stat(dotFile.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);

    // The second mode of the list the daemon read before.
    Command({"-select", "2"});
    ExpectTavrelDrawn();
    Deactivate();

    // Twice changes nothing.
    const std::string edited = ReadFile(dotFile);
    EXPECT_EQ(AddTavrel(said), 0) << said;
    EXPECT_EQ(said, "tavrel: " + dotFile + " lists Tavrel already; nothing changed\n");
    EXPECT_EQ(ReadFile(dotFile), edited);
}

// A user who never ran xscreensaver-settings: the file made holds the programs: list alone, and
// the daemon lists Tavrel first and its own display modes after it.
TEST_F(AddToXScreenSaver, AMadeFileListsTavrelBesideTheDaemonsOwnModes)
{
    std::string said;
    EXPECT_EQ(AddTavrel(said), 0) << said;
    EXPECT_EQ(said, "tavrel: made " + dotFile +
                        ", which lists Tavrel before XScreenSaver's own display modes\n");
    EXPECT_EQ(ReadFile(dotFile), "programs:  \\\n  \"Tavrel\"  tavrel --root  \\n\n");
    StartDaemon();
    Command({"-select", "1"});
    ExpectTavrelDrawn();
    Deactivate();
    // With the daemon's own fading on (the made file says nothing of it), a select that comes
    // while the last blanking still fades out is lost: wait for that to end.
    EXPECT_TRUE(WaitUntil(15.0, [&] {
        return ReadFile(daemonLog).find("SIGTERM: exiting") != std::string::npos;
    })) << ReadFile(daemonLog);

    // The second is the first of the daemon's own (its log names each mode it forks).
    Command({"-select", "2"});
    const auto forkedOther = [&] {
        std::istringstream log(ReadFile(daemonLog));
        for (std::string line; std::getline(log, line);) {
            if (line.find(": forked \"") != std::string::npos &&
                line.find("tavrel") == std::string::npos &&
                line.find("xscreensaver-gl-visual") == std::string::npos) {
                return true;
            }
        }
        return false;
    };
    EXPECT_TRUE(WaitUntil(15.0, forkedOther)) << ReadFile(daemonLog);
    Command({"-deactivate"});
}

// The files the command leaves as they are, as the daemon's user meets them: one line each on
// the standard error, the status, and the file, its mode and its home unchanged (no temporary
// file left behind).
TEST_F(AddToXScreenSaver, FilesItCannotUseAreLeftAsTheyAre)
{
    struct Fault {
        const char* what;
        std::string text;  // the file's, or empty for none
        mode_t mode;
        bool link;
        mode_t homeMode;
        int status;
        std::string said;
    };
    const std::string cut = "programs: \\\n  maze -root \\n\n  bumps -root \\n\nmode: one\n";
    const std::string real = user / "real-xscreensaver";
    const std::vector<Fault> faults = {
        {"a symbolic link", "", 0, true, 0755, 2,
         dotFile + " is a symbolic link; left as it is (add the line to the file it points to, "
                   "or put the file itself there)"},
        {"unreadable", OneModeFile, 0200, false, 0755, 1,
         "cannot read " + dotFile + " (Permission denied); left as it is"},
        {"unwritable", OneModeFile, 0444, false, 0755, 1,
         "cannot write " + dotFile + " (Permission denied); left as it is"},
        {"in a home that cannot be written", OneModeFile, 0644, false, 0555, 1,
         "cannot write in " + user.Home() + " (Permission denied); " + dotFile + " left as it is"},
        {"missing, in a home that cannot be written", "", 0, false, 0555, 1,
         "cannot write in " + user.Home() + " (Permission denied); no " + dotFile + " made"},
        {"a list cut off", cut, 0644, false, 0755, 2,
         "cannot make sense of " + dotFile +
             ": its programs: list (line 1) ends at line 2 without its line continuation, "
             "before more display modes at line 3; left as it is"},
    };
    ASSERT_TRUE(WriteFile(real, OneModeFile, 0644) && user.Own(real));
    for (const Fault& fault : faults) {
        SCOPED_TRACE(fault.what);
        unlink(dotFile.c_str());
        if (fault.link) {
            ASSERT_EQ(symlink(real.c_str(), dotFile.c_str()), 0);
        } else if (!fault.text.empty()) {
            ASSERT_TRUE(WriteFile(dotFile, fault.text, fault.mode) && user.Own(dotFile));
        }
        ASSERT_EQ(chmod(user.Home().c_str(), fault.homeMode), 0);
        struct stat before {};
        const bool existed = lstat(dotFile.c_str(), &before) == 0;
        std::vector<std::string> namesBefore;
        for (const auto& entry : std::filesystem::directory_iterator(user.Home())) {
            namesBefore.push_back(entry.path().filename());
        }

        std::string said;
        EXPECT_EQ(AddTavrel(said), fault.status) << said;
        EXPECT_EQ(said, "tavrel: " + fault.said + "\n");
        ASSERT_EQ(chmod(user.Home().c_str(), 0755), 0);

        struct stat after {};
        EXPECT_EQ(lstat(dotFile.c_str(), &after) == 0, existed);
        if (existed) {
            EXPECT_EQ(after.st_ino, before.st_ino);
            EXPECT_EQ(after.st_mode, before.st_mode);
            EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
        }
        if (!fault.text.empty()) {
            ASSERT_EQ(chmod(dotFile.c_str(), 0644), 0);
            EXPECT_EQ(ReadFile(dotFile), fault.text);
        }
        EXPECT_EQ(ReadFile(real), OneModeFile);
        std::vector<std::string> namesAfter;
        for (const auto& entry : std::filesystem::directory_iterator(user.Home())) {
            namesAfter.push_back(entry.path().filename());
        }
        EXPECT_EQ(namesAfter.size(), namesBefore.size());
    }
}

// Root is refused in one line, and nothing is made in its home.
TEST(AddToXScreenSaverAsRoot, IsRefused)
{
    if (geteuid() != 0) GTEST_SKIP() << "not run as root";
    TempFolder home;
    const std::string log = home / "said";
    const int status = RunCommand({"sh", "-c",
                                   "HOME='" + home.Path() + "' '" + TAVREL_PROGRAM +
                                       "' -add-to-xscreensaver 2>'" + log + "'"});
    EXPECT_EQ(status, 2);
    EXPECT_EQ(ReadFile(log),
              "tavrel: -add-to-xscreensaver is for the user whose screen XScreenSaver blanks, not "
              "root (it runs no display mode as root); nothing changed\n");
    EXPECT_FALSE(FileExists(home / ".xscreensaver"));
}
