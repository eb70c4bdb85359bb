#include "host/linux/add_to_xscreensaver.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "host/linux/xscreensaver_list.h"

namespace {

constexpr int Done = 0;
constexpr int Failed = 1;
constexpr int Refused = 2;

// Larger than any list of display modes; a file beyond it is no ~/.xscreensaver.
constexpr size_t MaxFileBytes = size_t{4} << 20;

AddToXScreenSaverReport Report(int status, std::string line, bool changed = false)
{
    return {status, std::move(line), changed};
}

std::string Reason(int error)
{
    return std::strerror(error);
}

std::string FolderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool WriteAll(int fd, const std::string& text)
{
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// Reads the whole file from fd; false with errno set, or with errno 0 when it is too large.
bool ReadAll(int fd, std::string& text)
{
    char buffer[65536];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        text.append(buffer, static_cast<size_t>(n));
        if (text.size() > MaxFileBytes) {
            errno = 0;
            return false;
        }
    }
}

void SyncFolder(const std::string& folder)
{
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

// A new file beside path holding text with the given mode, written and synced; its name, or
// empty with errno set.
std::string WriteTemporary(const std::string& path, const std::string& text, mode_t mode)
{
    std::string name = FolderOf(path) + "/.xscreensaver.tavrel-XXXXXX";
    const int fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) return std::string();
    const bool written = fchmod(fd, mode) == 0 && WriteAll(fd, text) && fsync(fd) == 0;
    const int error = errno;
    if (close(fd) != 0 || !written) {
        unlink(name.c_str());
        errno = written ? errno : error;
        return std::string();
    }
    return name;
}

// The mode a file made now gets: readable by all and writable by its owner, less the umask.
mode_t NewFileMode()
{
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

AddToXScreenSaverReport MakeFile(const std::string& path)
{
    const std::string temporary = WriteTemporary(path, NewXScreenSaverFile(), NewFileMode());
    if (temporary.empty()) {
        return Report(Failed, "cannot write in " + FolderOf(path) + " (" + Reason(errno) +
                                  "); no " + path + " made");
    }
    // A link, unlike a rename, fails when a file of that name appeared meanwhile.
    const int linked = link(temporary.c_str(), path.c_str());
    const int error = errno;
    unlink(temporary.c_str());
    if (linked != 0) {
        return Report(Failed, "cannot make " + path + " (" + Reason(error) + "); nothing changed");
    }
    SyncFolder(FolderOf(path));
    return Report(Done,
                  "made " + path + ", which lists Tavrel before XScreenSaver's own display modes",
                  true);
}

}  // namespace

AddToXScreenSaverReport AddTavrelToXScreenSaverFile(const std::string& path)
{
    struct stat before {};
    if (lstat(path.c_str(), &before) != 0) {
        if (errno == ENOENT) return MakeFile(path);
        return Report(Failed,
                      "cannot look at " + path + " (" + Reason(errno) + "); nothing changed");
    }
    if (S_ISLNK(before.st_mode)) {
        return Report(Refused, path +
                                   " is a symbolic link; left as it is (add the line to the file "
                                   "it points to, or put the file itself there)");
    }
    if (!S_ISREG(before.st_mode)) return Report(Refused, path + " is no plain file; left as it is");
    if (before.st_uid != geteuid()) {
        return Report(Failed, path + " belongs to another user; left as it is");
    }

    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return Report(Failed, "cannot read " + path + " (" + Reason(errno) + "); left as it is");
    }
    std::string text;
    const bool read = ReadAll(fd, text);
    const int readError = errno;
    close(fd);
    if (!read) {
        return readError == 0
                   ? Report(Refused, path + " is larger than any XScreenSaver file; left as it is")
                   : Report(Failed,
                            "cannot read " + path + " (" + Reason(readError) + "); left as it is");
    }

    const ProgramsEditResult edit = AddTavrelToPrograms(text);
    if (edit.outcome == ProgramsEdit::AlreadyListed) {
        return Report(Done, path + " lists Tavrel already" +
                                (edit.disabled ? " (marked '-': XScreenSaver does not choose it "
                                                 "at random)"
                                               : "") +
                                "; nothing changed");
    }
    if (edit.outcome == ProgramsEdit::Unparseable) {
        return Report(Refused,
                      "cannot make sense of " + path + ": " + edit.reason + "; left as it is");
    }

    // Its own permissions say whether it may be written, not the folder's, which the rename
    // needs.
    if (access(path.c_str(), W_OK) != 0) {
        return Report(Failed, "cannot write " + path + " (" + Reason(errno) + "); left as it is");
    }
    const std::string temporary = WriteTemporary(path, edit.text, before.st_mode & 07777);
    if (temporary.empty()) {
        return Report(Failed, "cannot write in " + FolderOf(path) + " (" + Reason(errno) + "); " +
                                  path + " left as it is");
    }
    // Not replaced when someone else wrote it meanwhile (xscreensaver-settings, say).
    struct stat now {};
    if (lstat(path.c_str(), &now) != 0 || now.st_ino != before.st_ino ||
        now.st_size != before.st_size || now.st_mtim.tv_sec != before.st_mtim.tv_sec ||
        now.st_mtim.tv_nsec != before.st_mtim.tv_nsec) {
        unlink(temporary.c_str());
        return Report(Failed, path +
                                  " changed while it was being edited; left as it is (run "
                                  "the command again)");
    }
    if (rename(temporary.c_str(), path.c_str()) != 0) {
        const int error = errno;
        unlink(temporary.c_str());
        return Report(Failed, "cannot replace " + path + " (" + Reason(error) + "); left as it is");
    }
    SyncFolder(FolderOf(path));
    return Report(Done, "added Tavrel to the programs: list in " + path, true);
}

int RunAddToXScreenSaver()
{
    AddToXScreenSaverReport report;
    if (geteuid() == 0) {
        report = Report(Refused,
                        "-add-to-xscreensaver is for the user whose screen XScreenSaver blanks, "
                        "not root (it runs no display mode as root); nothing changed");
    } else {
        const char* home = std::getenv("HOME");
        if (home == nullptr || home[0] != '/') {
            const passwd* user = getpwuid(getuid());
            home = user != nullptr ? user->pw_dir : nullptr;
        }
        report = home != nullptr && home[0] == '/'
                     ? AddTavrelToXScreenSaverFile(std::string(home) + "/.xscreensaver")
                     : Report(Failed, "no home folder to find ~/.xscreensaver in; nothing changed");
    }
    std::fprintf(report.status == Done ? stdout : stderr, "tavrel: %s\n", report.line.c_str());
    return report.status;
}
