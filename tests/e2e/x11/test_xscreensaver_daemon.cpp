// Tavrel run by XScreenSaver's own daemon, as a user has it: a ~/.xscreensaver that lists
// Tavrel alone and lets display modes grab the desktop; the daemon blanks on command, runs the
// program in its window with the options of the programs line, and ends it with SIGTERM.
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "x11_session.h"

extern char** environ;

namespace {

std::string ReadFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

bool WriteFile(const std::string& path, const std::string& text, mode_t mode)
{
    {
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file << text;
        if (!file) return false;
    }
    return chmod(path.c_str(), mode) == 0;
}

// Runs a command as this process's user and waits for it; its exit status.
int RunCommand(const std::vector<std::string>& args)
{
    std::vector<std::string> strings = args;
    std::vector<char*> argv;
    for (std::string& s : strings) argv.push_back(s.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
}

// The same, tried a few times: useradd and userdel wait only so long for the lock on the user
// database, which other tests of this kind may hold.
int RunCommandPatiently(const std::vector<std::string>& args)
{
    int status = -1;
    for (int attempt = 0; attempt < 5 && status != 0; ++attempt) {
        if (attempt > 0) PauseSeconds(0.5);
        status = RunCommand(args);
    }
    return status;
}

// The processes of a user, from /proc.
std::vector<pid_t> ProcessesOf(uid_t uid)
{
    std::vector<pid_t> pids;
    DIR* proc = opendir("/proc");
    if (proc == nullptr) return pids;
    while (const dirent* entry = readdir(proc)) {
        const pid_t pid = static_cast<pid_t>(std::atoi(entry->d_name));
        if (pid <= 0) continue;
        std::istringstream status(ReadFile("/proc/" + std::to_string(pid) + "/status"));
        for (std::string line; std::getline(status, line);) {
            if (line.rfind("Uid:", 0) != 0) continue;
            std::istringstream ids(line.substr(4));
            uid_t real = 0;
            if (ids >> real && real == uid) pids.push_back(pid);
            break;
        }
    }
    closedir(proc);
    return pids;
}

// The user the daemon runs as: it runs no display mode as root. Root makes a throwaway user
// whose home is its own, and removes both afterwards; anyone else is that user, with a
// throwaway home.
class DaemonUser {
public:
    DaemonUser()
    {
        if (geteuid() != 0) {
            uid_ = getuid();
            gid_ = getgid();
            const passwd* self = getpwuid(uid_);
            name_ = self != nullptr ? self->pw_name : "tavrel";
            home_ = ownHome_.Path();
            return;
        }
        name_ = "tavrel-xss-" + std::to_string(getpid());
        home_ = "/tmp/" + name_;
        if (RunCommandPatiently({"useradd", "--create-home", "--home-dir", home_, "--user-group",
                                 "--shell", "/bin/sh", name_}) != 0) {
            return;
        }
        created_ = true;
        const passwd* user = getpwnam(name_.c_str());
        if (user == nullptr) return;
        uid_ = user->pw_uid;
        gid_ = user->pw_gid;
    }

    ~DaemonUser()
    {
        if (!created_) return;
        // Whatever of the user's is left (all of it started by this test) goes first: userdel
        // keeps a user who still runs something.
        if (uid_ != 0 && !WaitUntil(5.0, [&] { return ProcessesOf(uid_).empty(); })) {
            for (const pid_t pid : ProcessesOf(uid_)) kill(pid, SIGKILL);
            WaitUntil(5.0, [&] { return ProcessesOf(uid_).empty(); });
        }
        RunCommandPatiently({"userdel", "--remove", name_});
    }

    DaemonUser(const DaemonUser&) = delete;
    DaemonUser& operator=(const DaemonUser&) = delete;

    bool Ready() const { return !home_.empty() && (geteuid() != 0 || (created_ && uid_ != 0)); }
    const std::string& Name() const { return name_; }
    const std::string& Home() const { return home_; }
    std::string operator/(const std::string& name) const { return home_ + "/" + name; }

    // Gives a file or folder the test made in the home to the user.
    bool Own(const std::string& path) const
    {
        return geteuid() != 0 || chown(path.c_str(), uid_, gid_) == 0;
    }

    // Starts a program as the user, in its home, with only the environment given; its output
    // goes to logPath. The process id, or 0.
    pid_t Start(const std::vector<std::string>& args, const std::vector<std::string>& env,
                const std::string& logPath) const
    {
        std::vector<std::string> argStrings = args;
        std::vector<std::string> envStrings = env;
        std::vector<char*> argv;
        std::vector<char*> envp;
        for (std::string& s : argStrings) argv.push_back(s.data());
        for (std::string& s : envStrings) envp.push_back(s.data());
        argv.push_back(nullptr);
        envp.push_back(nullptr);
        const int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (log < 0) return 0;
        const bool switchUser = geteuid() == 0;
        const pid_t pid = fork();
        if (pid == 0) {
            // Only async-signal-safe calls from here on.
            dup2(log, 1);
            dup2(log, 2);
            if (switchUser &&
                (setgroups(1, &gid_) != 0 || setgid(gid_) != 0 || setuid(uid_) != 0)) {
                _exit(126);
            }
            if (chdir(home_.c_str()) != 0) _exit(126);
            execve(argv[0], argv.data(), envp.data());
            _exit(127);
        }
        close(log);
        return pid > 0 ? pid : 0;
    }

private:
    TempFolder ownHome_;
    std::string name_;
    std::string home_;
    uid_t uid_ = 0;
    gid_t gid_ = 0;
    bool created_ = false;
};

// A process this test started, ended by its process id at the latest when the test ends.
struct Started {
    pid_t pid = 0;
    ~Started() { End(); }
    void End()
    {
        if (pid <= 0) return;
        kill(pid, SIGTERM);
        if (!WaitUntil(10.0, [&] { return waitpid(pid, nullptr, WNOHANG) == pid; })) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        pid = 0;
    }
};

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
        std::vector<std::string> args = {XSCREENSAVER_COMMAND};
        args.insert(args.end(), what.begin(), what.end());
        ASSERT_TRUE(WaitUntil(15.0, [&] { return RunTool(*screen, args) == 0; }))
            << "xscreensaver-command" << Joined(what) << " failed; the daemon said:\n"
            << ReadFile(daemonLog);
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
