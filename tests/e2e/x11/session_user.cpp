#include "session_user.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "x11_session.h"

extern char** environ;

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

int RunCommandPatiently(const std::vector<std::string>& args)
{
    int status = -1;
    for (int attempt = 0; attempt < 5 && status != 0; ++attempt) {
        if (attempt > 0) PauseSeconds(0.5);
        status = RunCommand(args);
    }
    return status;
}

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

pid_t ProcessNamed(uid_t uid, const std::string& name)
{
    for (const pid_t pid : ProcessesOf(uid)) {
        if (ReadFile("/proc/" + std::to_string(pid) + "/comm") == name + "\n") return pid;
    }
    return 0;
}

std::vector<std::string> ProcessStrings(pid_t pid, const char* what)
{
    const std::string text = ReadFile("/proc/" + std::to_string(pid) + "/" + what);
    std::vector<std::string> strings;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\0', start);
        if (end == std::string::npos) end = text.size();
        strings.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return strings;
}

DaemonUser::DaemonUser()
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

DaemonUser::~DaemonUser()
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

bool DaemonUser::Own(const std::string& path) const
{
    return geteuid() != 0 || chown(path.c_str(), uid_, gid_) == 0;
}

pid_t DaemonUser::Start(const std::vector<std::string>& args, const std::vector<std::string>& env,
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
        if (switchUser && (setgroups(1, &gid_) != 0 || setgid(gid_) != 0 || setuid(uid_) != 0)) {
            _exit(126);
        }
        if (chdir(home_.c_str()) != 0) _exit(126);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    close(log);
    return pid > 0 ? pid : 0;
}

int DaemonUser::Run(const std::vector<std::string>& args, const std::vector<std::string>& env,
                    const std::string& logPath, double seconds) const
{
    const pid_t pid = Start(args, env, logPath);
    if (pid <= 0) return -1;
    int status = 0;
    if (!WaitUntil(seconds, [&] { return waitpid(pid, &status, WNOHANG) == pid; })) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        return -2;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
}

void Started::End()
{
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    if (!WaitUntil(10.0, [&] { return waitpid(pid, nullptr, WNOHANG) == pid; })) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    pid = 0;
}
