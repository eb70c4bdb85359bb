#include "settings/posix/file_store.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>

#include "settings/registry_file.h"
#include "settings/settings_store.h"

namespace {

void Report(const std::string& line)
{
    static std::set<std::string> given;
    if (!given.insert(line).second) return;
    std::fprintf(stderr, "tavrel: %s\n", line.c_str());
    std::fflush(stderr);
}

// Settings files are a few hundred bytes; anything far bigger is not ours to parse.
constexpr off_t MaxFileSize = 1 << 20;

struct OpenKey {
    bool inUse = false;
    uint32_t access = 0;
    std::string keyPath;
    std::string filePath;
    RegFile file;
    std::string originalText;
    bool putAside = false;  // the file on disk is unparseable: keep it under another name
    bool dirty = false;
};

// A handful of keys may be open at once; a handle is the slot's index + 1.
OpenKey OpenKeys[4];

OpenKey* KeyFromHandle(StoreKey key)
{
    if (key == 0 || key > sizeof OpenKeys / sizeof OpenKeys[0]) return nullptr;
    OpenKey& slot = OpenKeys[key - 1];
    return slot.inUse ? &slot : nullptr;
}

bool IsAbsolute(const char* path)
{
    return path != nullptr && path[0] == '/';
}

enum class ReadResult { Read, Missing, TooLarge, Failed };

// `reason` says why a read Failed.
ReadResult ReadWholeFile(const std::string& path, std::string& text, std::string& reason)
{
    text.clear();
    // Non-blocking, so that a FIFO in the file's place cannot hang the saver.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        reason = std::strerror(errno);
        return errno == ENOENT ? ReadResult::Missing : ReadResult::Failed;
    }
    struct stat info {};
    ReadResult result = ReadResult::Read;
    if (fstat(fd, &info) != 0) {
        reason = std::strerror(errno);
        result = ReadResult::Failed;
    } else if (!S_ISREG(info.st_mode)) {
        reason = S_ISDIR(info.st_mode) ? "a folder" : "not a plain file";
        result = ReadResult::Failed;
    } else if (info.st_size > MaxFileSize) {
        result = ReadResult::TooLarge;
    } else {
        char buffer[4096];
        for (;;) {
            const ssize_t got = read(fd, buffer, sizeof buffer);
            if (got == 0) break;
            if (got < 0) {
                if (errno == EINTR) continue;
                reason = std::strerror(errno);
                result = ReadResult::Failed;
                break;
            }
            text.append(buffer, static_cast<size_t>(got));
            if (text.size() > static_cast<size_t>(MaxFileSize)) {
                result = ReadResult::TooLarge;
                break;
            }
        }
    }
    close(fd);
    if (result != ReadResult::Read) text.clear();
    return result;
}

std::string FolderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

// mkdir -p, private folders as the base directory rules ask.
bool MakeFolders(const std::string& folder)
{
    for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string part = folder.substr(0, slash);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) break;
    }
    struct stat info {};
    if (stat(folder.c_str(), &info) != 0) return false;
    if (S_ISDIR(info.st_mode)) return true;
    errno = ENOTDIR;
    return false;
}

bool WriteAll(int fd, const std::string& text)
{
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t wrote = write(fd, text.data() + done, text.size() - done);
        if (wrote < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(wrote);
    }
    return true;
}

void SyncFolder(const std::string& folder)
{
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

std::string AsideName(const std::string& path, int number)
{
    return path + ".unreadable" + (number > 1 ? "-" + std::to_string(number) : std::string());
}

// The name PutAside would take now.
std::string FreeAsideName(const std::string& path)
{
    struct stat info {};
    int number = 1;
    while (number < 100 && lstat(AsideName(path, number).c_str(), &info) == 0) ++number;
    return AsideName(path, number);
}

// Moves the file to the first free name settings.reg.unreadable, .unreadable-2, ... The name
// is taken first with O_EXCL, so no other file is ever overwritten.
bool PutAside(const std::string& path)
{
    for (int number = 1; number <= 100; ++number) {
        const std::string aside = AsideName(path, number);
        const int fd = open(aside.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return false;
        }
        close(fd);
        if (rename(path.c_str(), aside.c_str()) == 0) return true;
        const int error = errno;
        unlink(aside.c_str());
        errno = error;
        return false;
    }
    errno = EEXIST;
    return false;
}

// Writes a temporary file next to the settings file, flushes it and renames it over the old
// one: a crash or a full disk at any point leaves either the old file or the new one whole.
// 0, or the error number of the step that failed.
int WriteSettingsFile(const std::string& path, const std::string& text, bool putAsideFirst)
{
    std::string target = path;
    struct stat link {};
    if (lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        // Replace what the link points to, not the link (settings kept in a dotfile folder).
        char resolved[PATH_MAX];
        if (realpath(path.c_str(), resolved) != nullptr) target = resolved;
    }
    const std::string folder = FolderOf(target);
    if (!MakeFolders(folder)) return errno;

    std::string temporary = target + ".tmp-XXXXXX";
    const int fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) return errno;
    struct stat old {};
    if (stat(target.c_str(), &old) == 0) fchmod(fd, old.st_mode & 07777);
    errno = 0;
    bool ok = WriteAll(fd, text) && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    if (ok && putAsideFirst) ok = PutAside(target);
    if (ok) ok = rename(temporary.c_str(), target.c_str()) == 0;
    if (!ok) {
        const int error = errno != 0 ? errno : EIO;
        unlink(temporary.c_str());
        return error;
    }
    SyncFolder(folder);
    return 0;
}

}  // namespace

std::string SettingsFilePath()
{
    const char* configHome = getenv("XDG_CONFIG_HOME");
    if (IsAbsolute(configHome)) return std::string(configHome) + "/tavrel/settings.reg";
    const char* home = getenv("HOME");
    if (!IsAbsolute(home)) {
        const passwd* user = getpwuid(getuid());
        home = user != nullptr ? user->pw_dir : nullptr;
    }
    if (!IsAbsolute(home)) return std::string();
    return std::string(home) + "/.config/tavrel/settings.reg";
}

StoreKey OpenStoreKey(const char* path, uint32_t access)
{
    if (path == nullptr) return 0;
    size_t index = 0;
    while (index < sizeof OpenKeys / sizeof OpenKeys[0] && OpenKeys[index].inUse) ++index;
    if (index == sizeof OpenKeys / sizeof OpenKeys[0]) return 0;

    OpenKey& slot = OpenKeys[index];
    slot = OpenKey{};
    slot.filePath = SettingsFilePath();
    if (slot.filePath.empty()) {
        Report(
            "no home folder to keep the settings in: the default settings are used and none "
            "are stored");
        return 0;
    }
    std::string reason;
    switch (ReadWholeFile(slot.filePath, slot.originalText, reason)) {
    case ReadResult::Read:
        slot.file = ParseSettingsFile(slot.originalText);
        slot.putAside = slot.file.status == RegFileStatus::Unparseable;
        break;
    case ReadResult::Missing: break;
    case ReadResult::TooLarge:
        slot.file.status = RegFileStatus::Unparseable;
        slot.putAside = true;
        break;
    case ReadResult::Failed:
        // What cannot be read cannot be kept on a rewrite either.
        Report("cannot read " + slot.filePath + " (" + reason +
               "): the default settings are used and none are stored");
        return 0;
    }
    if (slot.putAside) {
        Report("ignored " + slot.filePath + ", which is not a settings file: the default " +
               "settings are used, and it is kept as " + FreeAsideName(slot.filePath));
    }
    // The key itself comes into being with the first value written to it: a load alone does
    // not write the file.
    slot.inUse = true;
    slot.access = access;
    slot.keyPath = path;
    return index + 1;
}

bool QueryStoreValue(StoreKey key, const char* name, uint32_t& type, void* buffer,
                     uint32_t capacity, uint32_t& length)
{
    length = 0;
    const OpenKey* slot = KeyFromHandle(key);
    if (slot == nullptr || name == nullptr || (slot->access & StoreAccessQueryValue) == 0) {
        return false;
    }
    const RegFileLine* value = FindRegFileValue(slot->file, slot->keyPath, name);
    if (value == nullptr) return false;
    if (value->data.size() > capacity) {
        length = static_cast<uint32_t>(value->data.size() > UINT32_MAX ? UINT32_MAX
                                                                       : value->data.size());
        return false;
    }
    if (!value->data.empty()) std::memcpy(buffer, value->data.data(), value->data.size());
    type = value->type;
    length = static_cast<uint32_t>(value->data.size());
    return true;
}

bool SetStoreValue(StoreKey key, const char* name, uint32_t type, const void* data, uint32_t length)
{
    OpenKey* slot = KeyFromHandle(key);
    if (slot == nullptr || name == nullptr || (data == nullptr && length != 0) ||
        (slot->access & StoreAccessSetValue) == 0) {
        return false;
    }
    SetRegFileValue(slot->file, slot->keyPath, name, type, static_cast<const uint8_t*>(data),
                    length);
    slot->dirty = true;
    return true;
}

void CloseStoreKey(StoreKey key)
{
    OpenKey* slot = KeyFromHandle(key);
    if (slot == nullptr) return;
    if (slot->dirty) {
        const std::string text = SerializeSettingsFile(slot->file);
        // Nothing changed: leave the file alone, the saver stores its settings at every end.
        if (slot->putAside || text != slot->originalText) {
            const int error = WriteSettingsFile(slot->filePath, text, slot->putAside);
            if (error != 0) {
                Report("cannot store the settings in " + slot->filePath + " (" +
                       std::strerror(error) + ")");
            }
        }
    }
    *slot = OpenKey{};
}
