// What the end-to-end tests of a screensaver daemon (XScreenSaver's, MATE's) run on beside the
// X server: the unprivileged user the daemon runs as, made for the test when it runs as root,
// the processes started as that user, and small file and command helpers.
#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "common/temp_folder.h"

std::string ReadFile(const std::string& path);
// Writes text to path (replacing it) and gives it the mode.
bool WriteFile(const std::string& path, const std::string& text, mode_t mode);

// Runs a command as this process's user and waits for it; its exit status (-1: not started,
// -2: ended by a signal). Its output is dropped.
int RunCommand(const std::vector<std::string>& args);
// The same, tried a few times: useradd and userdel wait only so long for the lock on the user
// database, which other tests of this kind may hold.
int RunCommandPatiently(const std::vector<std::string>& args);

// The processes of a user, from /proc.
std::vector<pid_t> ProcessesOf(uid_t uid);
// The first process of the user whose name (/proc/PID/comm) is name, or 0.
pid_t ProcessNamed(uid_t uid, const std::string& name);
// A process's environment or command line as NAME=VALUE or word lines.
std::vector<std::string> ProcessStrings(pid_t pid, const char* what);

// The user a daemon runs as: XScreenSaver runs no display mode as root. Root makes a throwaway
// user whose home is its own, and removes both afterwards (ending whatever the user still
// runs); anyone else is that user, with a throwaway home.
class DaemonUser {
public:
    DaemonUser();
    ~DaemonUser();
    DaemonUser(const DaemonUser&) = delete;
    DaemonUser& operator=(const DaemonUser&) = delete;

    bool Ready() const { return !home_.empty() && (geteuid() != 0 || (created_ && uid_ != 0)); }
    const std::string& Name() const { return name_; }
    const std::string& Home() const { return home_; }
    uid_t Uid() const { return uid_; }
    std::string operator/(const std::string& name) const { return home_ + "/" + name; }

    // Gives a file or folder the test made in the home to the user.
    bool Own(const std::string& path) const;

    // Starts a program as the user, in its home, with only the environment given; its output
    // goes to logPath. The process id, or 0.
    pid_t Start(const std::vector<std::string>& args, const std::vector<std::string>& env,
                const std::string& logPath) const;
    // Runs one to its end (at most `seconds`, then it is killed); its exit status, or -1 when it
    // did not start, -2 when it ended by a signal or was killed.
    int Run(const std::vector<std::string>& args, const std::vector<std::string>& env,
            const std::string& logPath, double seconds = 30.0) const;

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
    void End();
};
