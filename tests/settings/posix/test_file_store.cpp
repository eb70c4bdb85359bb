// The file store on real files: each test gets its own XDG_CONFIG_HOME in a temporary folder.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/temp_folder.h"
#include "settings/posix/file_store.h"
#include "settings/settings.h"
#include "settings/settings_store.h"

namespace {

const std::string Section = "[HKEY_CURRENT_USER\\Control Panel\\Desktop\\3D Tavrel Screensaver]";

bool Exists(const std::string& path)
{
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

SaverSettings Changed()
{
    SaverSettings settings;
    settings.bTnL = 1;
    settings.bFps = 1;
    settings.Prominent = 0x7FFFFFFF;
    settings.LightSpeed = 100;
    settings.NumLights = 4;
    settings.ColorLight = 7;
    return settings;
}

// Linked with --wrap=rename: a test may stop a save just before the new file replaces the old
// one, as a crash or a full disk would. Putting an unreadable file aside is left alone.
bool (*BeforeSettingsFileRename)(const char* temporaryPath) = nullptr;

}  // namespace

extern "C" int __real_rename(const char* from, const char* to);
extern "C" int __wrap_rename(const char* from, const char* to)
{
    if (BeforeSettingsFileRename != nullptr && std::strstr(from, ".tmp-") != nullptr &&
        !BeforeSettingsFileRename(from)) {
        errno = ECANCELED;
        return -1;
    }
    return __real_rename(from, to);
}

namespace {

// What the store says on stderr during a test, into a file of its own.
int CapturedStderr = -1;
int SavedStderr = -1;

void CaptureStderr()
{
    std::fflush(stderr);
    SavedStderr = dup(STDERR_FILENO);
    CapturedStderr = fileno(std::tmpfile());
    dup2(CapturedStderr, STDERR_FILENO);
}

void RestoreStderr()
{
    std::fflush(stderr);
    dup2(SavedStderr, STDERR_FILENO);
    close(SavedStderr);
    close(CapturedStderr);
}

void ClearReports()
{
    std::fflush(stderr);
    EXPECT_EQ(ftruncate(CapturedStderr, 0), 0);
    lseek(CapturedStderr, 0, SEEK_SET);
}

// The lines said since the last ClearReports, without their "tavrel: ".
std::vector<std::string> Reports()
{
    std::fflush(stderr);
    std::string text;
    char buffer[4096];
    for (ssize_t got; (got = pread(CapturedStderr, buffer, sizeof buffer,
                                   static_cast<off_t>(text.size()))) > 0;) {
        text.append(buffer, static_cast<size_t>(got));
    }
    std::vector<std::string> lines;
    std::istringstream in(text);
    const std::string prefix = "tavrel: ";
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line.rfind(prefix, 0) == 0 ? line.substr(prefix.size()) : line);
    }
    return lines;
}

class FileStoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CaptureStderr();
        ASSERT_FALSE(scratch.Path().empty());
        root = scratch.Path();
        configHome = root + "/config";
        folder = configHome + "/tavrel";
        file = folder + "/settings.reg";
        setenv("XDG_CONFIG_HOME", configHome.c_str(), 1);
        BeforeSettingsFileRename = nullptr;
    }

    void TearDown() override
    {
        RestoreStderr();
        BeforeSettingsFileRename = nullptr;
        unsetenv("XDG_CONFIG_HOME");
    }

    // Puts text in the settings file, creating the folders.
    void Plant(const std::string& text)
    {
        mkdir(configHome.c_str(), 0700);
        mkdir(folder.c_str(), 0700);
        WriteFile(file, text);
    }

    TempFolder scratch;
    std::string root, configHome, folder, file;
};

TEST_F(FileStoreTest, FindsItsFileByTheBaseDirectoryRules)
{
    EXPECT_EQ(SettingsFilePath(), file);
    const char* home = getenv("HOME");
    const std::string savedHome = home != nullptr ? home : "";
    setenv("HOME", "/home/someone", 1);
    for (const char* unusable : {"", "relative/config"}) {
        setenv("XDG_CONFIG_HOME", unusable, 1);
        EXPECT_EQ(SettingsFilePath(), "/home/someone/.config/tavrel/settings.reg") << unusable;
    }
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(SettingsFilePath(), "/home/someone/.config/tavrel/settings.reg");
    if (home != nullptr) {
        setenv("HOME", savedHome.c_str(), 1);
    } else {
        unsetenv("HOME");
    }
}

TEST_F(FileStoreTest, SaveWritesTheExportFormatAndLoadReadsItBack)
{
    SaverSettings loaded;
    LoadSettings(loaded);
    EXPECT_EQ(loaded, SaverSettings{});
    EXPECT_FALSE(Exists(configHome)) << "a load alone writes nothing";

    SaveSettings(SaverSettings{});
    EXPECT_EQ(ReadFile(file),
              "Windows Registry Editor Version 5.00\r\n"
              "\r\n" +
                  Section +
                  "\r\n"
                  "\"[bTnL]\"=dword:00000000\r\n"
                  "\"[bTime]\"=dword:00000001\r\n"
                  "\"[bFps]\"=dword:00000000\r\n"
                  "\"[Prominent]\"=dword:00000001\r\n"
                  "\"[Light Speed]\"=dword:00000032\r\n"
                  "\"[Num Lights]\"=dword:00000002\r\n"
                  "\"[Color Light]\"=dword:00000006\r\n"
                  "\"[Version]\"=hex(1):31,2e,30\r\n"
                  "\r\n");
    struct stat info {};
    ASSERT_EQ(stat(folder.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{"settings.reg"});

    SaveSettings(Changed());
    LoadSettings(loaded);
    EXPECT_EQ(loaded, Changed());
}

TEST_F(FileStoreTest, KeysAndValuesItDoesNotKnowSurviveASave)
{
    const std::string other = "[HKEY_CURRENT_USER\\Software\\Other]\n\"Keep\"=hex(2):25,00\n";
    Plant("Windows Registry Editor Version 5.00\n\n" + other + "\n" + Section +
          "\n\"Extra\"=\"kept\"\n; a note\n\"[Light Speed]\"=dword:00000010\n");
    SaverSettings loaded;
    LoadSettings(loaded);
    EXPECT_EQ(loaded.LightSpeed, 16u);

    SaveSettings(Changed());
    const std::string text = ReadFile(file);
    EXPECT_NE(text.find(other), std::string::npos);
    EXPECT_NE(text.find(Section +
                        "\n\"Extra\"=\"kept\"\n; a note\n\"[Light Speed]\"=dword:00000064\n"),
              std::string::npos);
    LoadSettings(loaded);
    EXPECT_EQ(loaded, Changed());
}

TEST_F(FileStoreTest, BadFilesNeverChangeAFieldFromAValueItCannotRead)
{
    const std::string header = "Windows Registry Editor Version 5.00\r\n\r\n" + Section + "\r\n";
    const std::string lastWord = "\"[Light Speed]\"=dword:00000021\r\n";
    const struct {
        std::string text;
        uint32_t lightSpeed;  // 77: the field keeps what it held
    } files[] = {
        {"", 77},
        {"\n\n", 77},
        {header + "\"[Light Speed]\"=dword:000", 77},  // cut off
        {header + "\"[Light Sp", 77},
        {std::string("\xFF\xFE\x00\xD8garbage\x80\x81", 12), 77},
        {header + "\"[Light Speed]\"=dword:1000000000\r\n", 77},                // over 32 bits
        {header + "\"[Light Speed]\"=\"50\"\r\n", 77},                          // a text
        {header + "\"[Light Speed]\"=hex:32,00\r\n", 77},                       // too short
        {header + "\"[Light Speed]\"=hex(b):32,00,00,00,00,00,00,00\r\n", 77},  // too long
        {header + "\"[Light Speed]\"=\xC3\x28\r\n", 77},
        {header + lastWord + "\"[Light Speed]\"=hex:zz\r\n", 33},
        {header + lastWord + "\"[Light Speed]\"=-\r\n", 77},
        {header + lastWord + lastWord + "\"[Light Speed]\"=hex:22,00,00,00\r\n", 34},
    };
    for (const auto& [text, lightSpeed] : files) {
        Plant(text);
        SaverSettings loaded;
        loaded.LightSpeed = 77;
        LoadSettings(loaded);
        SaverSettings expected;
        expected.LightSpeed = lightSpeed;
        EXPECT_EQ(loaded, expected) << text;
    }
    // Absurd but readable numbers are kept as they are; the readers deal with them.
    Plant(header +
          "\"[Num Lights]\"=dword:ffffffff\r\n\"[Num Lights]\"=dword:00000009\r\n"
          "\"[Color Light]\"=hex:63,00,00,00\r\n");
    SaverSettings loaded;
    LoadSettings(loaded);
    EXPECT_EQ(loaded.NumLights, 9u);
    EXPECT_EQ(loaded.ColorLight, 99u);
    SaveSettings(loaded);
    SaverSettings again;
    LoadSettings(again);
    EXPECT_EQ(again, loaded);
}

TEST_F(FileStoreTest, AnUnparseableFileIsPutAsideBeforeItIsReplaced)
{
    const std::string first = std::string("\x89PNG\r\n\x1a\n\0\0binary", 16);
    Plant(first);
    SaverSettings loaded;
    LoadSettings(loaded);
    EXPECT_EQ(loaded, SaverSettings{});
    EXPECT_EQ(ReadFile(file), first) << "loading leaves it alone";

    SaveSettings(Changed());
    EXPECT_EQ(ReadFile(file + ".unreadable"), first);
    LoadSettings(loaded);
    EXPECT_EQ(loaded, Changed());

    // A second one does not overwrite the first one put aside.
    WriteFile(file, "still not a registry file");
    SaveSettings(SaverSettings{});
    EXPECT_EQ(ReadFile(file + ".unreadable"), first);
    EXPECT_EQ(ReadFile(file + ".unreadable-2"), "still not a registry file");
    EXPECT_EQ(FolderEntries(folder),
              (std::vector<std::string>{"settings.reg", "settings.reg.unreadable",
                                        "settings.reg.unreadable-2"}));

    // A file far too big to be ours counts as unparseable too.
    const std::string huge = "Windows Registry Editor Version 5.00\n" + std::string(2 << 20, ';');
    WriteFile(file, huge);
    SaveSettings(SaverSettings{});
    EXPECT_EQ(ReadFile(file + ".unreadable-3"), huge);
    LoadSettings(loaded);
    EXPECT_EQ(loaded, SaverSettings{});
}

TEST_F(FileStoreTest, ASaveCutShortBeforeTheRenameLeavesTheOldFileWhole)
{
    SaveSettings(SaverSettings{});
    const std::string old = ReadFile(file);

    BeforeSettingsFileRename = [](const char* temporary) {
        // The new file is complete at this point, and next to the old one.
        const std::string text = ReadFile(temporary);
        return text.find("\"[Light Speed]\"=dword:00000064") == std::string::npos;
    };
    SaveSettings(Changed());
    EXPECT_EQ(ReadFile(file), old);
    EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{"settings.reg"});
    SaverSettings loaded;
    LoadSettings(loaded);
    EXPECT_EQ(loaded, SaverSettings{});
}

TEST_F(FileStoreTest, ACrashBeforeTheRenameLeavesTheOldFileWhole)
{
    SaveSettings(SaverSettings{});
    const std::string old = ReadFile(file);

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        BeforeSettingsFileRename = [](const char*) -> bool { _exit(3); };
        SaveSettings(Changed());
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 3);
    EXPECT_EQ(ReadFile(file), old);
    SaverSettings loaded;
    LoadSettings(loaded);
    EXPECT_EQ(loaded, SaverSettings{});

    // The next save goes through, whatever the crash left next to the file.
    SaveSettings(Changed());
    LoadSettings(loaded);
    EXPECT_EQ(loaded, Changed());
}

TEST_F(FileStoreTest, AFullDiskLeavesTheOldFileWhole)
{
    SaveSettings(SaverSettings{});
    const std::string old = ReadFile(file);

    // Writes past 64 bytes fail with EFBIG, as on a full disk.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 64;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    SaveSettings(Changed());
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &saved), 0);
    signal(SIGXFSZ, SIG_DFL);

    EXPECT_EQ(ReadFile(file), old);
    EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{"settings.reg"});
}

TEST_F(FileStoreTest, AFolderThatCannotBeMadeMakesSavesDoNothing)
{
    // The configuration folder's place is taken by a plain file.
    WriteFile(configHome, "in the way");
    SaveSettings(Changed());
    SaverSettings loaded;
    LoadSettings(loaded);
    EXPECT_EQ(loaded, SaverSettings{});
    EXPECT_EQ(ReadFile(configHome), "in the way");

    // A folder in place of the file: nothing is read, nothing replaced.
    std::remove(configHome.c_str());
    ASSERT_EQ(mkdir(configHome.c_str(), 0700), 0);
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    ASSERT_EQ(mkdir(file.c_str(), 0700), 0);
    WriteFile(file + "/inside", "x");
    SaveSettings(Changed());
    LoadSettings(loaded);
    EXPECT_EQ(loaded, SaverSettings{});
    EXPECT_EQ(ReadFile(file + "/inside"), "x");
}

TEST_F(FileStoreTest, AReadOnlyFolderKeepsTheOldFile)
{
    if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
    SaveSettings(SaverSettings{});
    const std::string old = ReadFile(file);
    ASSERT_EQ(chmod(folder.c_str(), 0500), 0);
    SaveSettings(Changed());
    SaveSettings(Changed());
    ASSERT_EQ(chmod(folder.c_str(), 0700), 0);
    EXPECT_EQ(ReadFile(file), old);
    EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{"settings.reg"});
    EXPECT_EQ(Reports(), std::vector<std::string>{"cannot store the settings in " + file +
                                                  " (Permission denied)"});
}

// A run loads and stores the settings several times; what the store cannot use is said once,
// in one line, and the run goes on with the defaults.
TEST_F(FileStoreTest, WhatItCannotUseIsSaidOnceInOneLine)
{
    enum class Plant { FolderAsFile, FileAsConfigFolder, NotSettings };
    const struct {
        Plant plant;
        std::string line;
    } cases[] = {
        {Plant::FolderAsFile,
         "cannot read " + file + " (a folder): the default settings are used and none are stored"},
        {Plant::FileAsConfigFolder,
         "cannot read " + file +
             " (Not a directory): the default settings are used and none are stored"},
        {Plant::NotSettings, "ignored " + file +
                                 ", which is not a settings file: the default settings are used, "
                                 "and it is kept as " +
                                 file + ".unreadable-2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        ClearReports();
        ASSERT_EQ(std::system(("rm -rf '" + configHome + "'").c_str()), 0);
        if (c.plant == Plant::FileAsConfigFolder) {
            WriteFile(configHome, "in the way");
        } else {
            mkdir(configHome.c_str(), 0700);
            mkdir(folder.c_str(), 0700);
        }
        if (c.plant == Plant::FolderAsFile) mkdir(file.c_str(), 0700);
        if (c.plant == Plant::NotSettings) {
            WriteFile(file, "\x89PNG");
            WriteFile(file + ".unreadable", "an older one");
        }
        SaverSettings loaded;
        LoadSettings(loaded);
        LoadSettings(loaded);
        SaveSettings(Changed());
        SaveSettings(Changed());
        EXPECT_EQ(Reports(), std::vector<std::string>{c.line});
        EXPECT_EQ(loaded, SaverSettings{});
        if (c.plant == Plant::NotSettings) {
            EXPECT_EQ(ReadFile(file + ".unreadable-2"), "\x89PNG") << "kept where the line said";
            LoadSettings(loaded);
            EXPECT_EQ(loaded, Changed());
        }
    }
}

TEST_F(FileStoreTest, ALinkedFileIsWrittenWhereTheLinkPoints)
{
    const std::string dotfiles = root + "/dotfiles";
    ASSERT_EQ(mkdir(dotfiles.c_str(), 0700), 0);
    WriteFile(dotfiles + "/settings.reg", "Windows Registry Editor Version 5.00\r\n");
    ASSERT_EQ(mkdir(configHome.c_str(), 0700), 0);
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    ASSERT_EQ(symlink((dotfiles + "/settings.reg").c_str(), file.c_str()), 0);

    SaveSettings(Changed());
    struct stat info {};
    ASSERT_EQ(lstat(file.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    SaverSettings loaded;
    LoadSettings(loaded);
    EXPECT_EQ(loaded, Changed());
    EXPECT_NE(ReadFile(dotfiles + "/settings.reg").find("dword:00000064"), std::string::npos);
}

TEST_F(FileStoreTest, ASaveOfUnchangedSettingsLeavesTheFileAlone)
{
    SaveSettings(Changed());
    struct stat before {};
    ASSERT_EQ(stat(file.c_str(), &before), 0);
    SaveSettings(Changed());
    struct stat after {};
    ASSERT_EQ(stat(file.c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino);
    SaveSettings(SaverSettings{});
    ASSERT_EQ(stat(file.c_str(), &after), 0);
    EXPECT_NE(before.st_ino, after.st_ino);
}

TEST_F(FileStoreTest, KeysAreReadOrWrittenOnlyAsTheyWereOpened)
{
    const uint8_t one[4] = {1, 0, 0, 0};
    const StoreKey writeKey = OpenStoreKey(SettingsKeyPath, StoreAccessWrite);
    ASSERT_NE(writeKey, 0u);
    EXPECT_TRUE(SetStoreValue(writeKey, "[bFps]", StoreTypeDword, one, 4));
    uint8_t buffer[8] = {9, 9, 9, 9, 9, 9, 9, 9};
    uint32_t type = 0, length = 0;
    EXPECT_FALSE(QueryStoreValue(writeKey, "[bFps]", type, buffer, 4, length));
    CloseStoreKey(writeKey);

    const StoreKey readKey = OpenStoreKey(SettingsKeyPath, StoreAccessRead);
    ASSERT_NE(readKey, 0u);
    EXPECT_FALSE(SetStoreValue(readKey, "[bTime]", StoreTypeDword, one, 4));
    // Too small a buffer stays untouched and learns the length.
    EXPECT_FALSE(QueryStoreValue(readKey, "[bFps]", type, buffer, 3, length));
    EXPECT_EQ(length, 4u);
    EXPECT_EQ(buffer[0], 9);
    ASSERT_TRUE(QueryStoreValue(readKey, "[bFps]", type, buffer, 8, length));
    EXPECT_EQ(length, 4u);
    EXPECT_EQ(type, StoreTypeDword);
    EXPECT_EQ(buffer[0], 1);
    EXPECT_EQ(buffer[4], 9);
    CloseStoreKey(readKey);
    // A closed handle is dead.
    EXPECT_FALSE(QueryStoreValue(readKey, "[bFps]", type, buffer, 8, length));
    CloseStoreKey(readKey);
    EXPECT_FALSE(QueryStoreValue(0, "[bFps]", type, buffer, 8, length));
    EXPECT_FALSE(SetStoreValue(0, "[bFps]", StoreTypeDword, one, 4));
}

}  // namespace
