// Tavrel's entry put into ~/.xscreensaver (-add-to-xscreensaver): the edit of the text, driven
// by a table of files as XScreenSaver's settings tool and people write them, and the file
// replaced on the real file system.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/temp_folder.h"
#include "host/linux/add_to_xscreensaver.h"
#include "host/linux/xscreensaver_list.h"

namespace {

// What XScreenSaver 6.06's settings tool writes, shortened to three modes.
const std::string Written =
    "# XScreenSaver Preferences File\n"
    "# Written by xscreensaver-settings 6.06 for someone on Tue Dec  8 06:00:00 2026.\n"
    "\n"
    "timeout:\t0:10:00\n"
    "mode:\t\tone\n"
    "selected:\t1\n"
    "\n"
    "programs:\t\t\t\t\t\t\t\t      \\\n"
    "\t\t\t\tmaze -root\t\t\t\t    \\n\\\n"
    "  GL: \t\t\t\tsuperquadrics -root\t\t\t    \\n\\\n"
    "-\t\t\t\tbumps -root\t\t\t\t    \\n\n"
    "\n"
    "\n"
    "pointerHysteresis:\t10\n";

const std::string Entry = "  \"Tavrel\"  tavrel --root  \\n";

struct Case {
    const char* what;
    std::string file;
    ProgramsEdit outcome;
    std::string expected;  // Added: the new text; Unparseable: a part of the reason
    bool disabled = false;
};

std::vector<Case> Cases()
{
    const std::string head = Written.substr(0, Written.find("-\t\t\t\tbumps"));
    const std::string tail = Written.substr(Written.find("\n\n\npointer"));
    return {
        {"as the settings tool writes it: after the last mode", Written, ProgramsEdit::Added,
         head + "-\t\t\t\tbumps -root\t\t\t\t    \\n\\\n" + Entry + tail},
        {"one line", "programs: maze -root \\n\n", ProgramsEdit::Added,
         "programs: maze -root \\n\\\n" + Entry + "\n"},
        {"the last mode without its \\n", "programs: \\\n  maze -root\nmode: one\n",
         ProgramsEdit::Added, "programs: \\\n  maze -root \\n\\\n" + Entry + "\nmode: one\n"},
        {"the last line blank after a continuation", "programs: \\\n  maze -root \\n\\\n\n",
         ProgramsEdit::Added, "programs: \\\n  maze -root \\n\\\n" + Entry + "\n"},
        {"an empty list", "lock: False\nprograms:\n", ProgramsEdit::Added,
         "lock: False\nprograms:  \\\n" + Entry + "\n"},
        {"an empty list at the end, no newline", "programs:", ProgramsEdit::Added,
         "programs:  \\\n" + Entry},
        {"the key in capitals, no newline at the end", "Programs: maze -root \\n",
         ProgramsEdit::Added, "Programs: maze -root \\n\\\n" + Entry},
        {"comments after the list", "programs: maze -root \\n\n# mine\n! too\nmode: one\n",
         ProgramsEdit::Added,
         "programs: maze -root \\n\\\n" + Entry + "\n# mine\n! too\nmode: one\n"},
        {"a key XScreenSaver does not know after the list",
         "programs: maze -root \\n\nfutureSetting: 3\n", ProgramsEdit::Added,
         "programs: maze -root \\n\\\n" + Entry + "\nfutureSetting: 3\n"},
        {"no list: one at the end", "mode: random\nlock: False\n", ProgramsEdit::Added,
         "mode: random\nlock: False\n" + NewXScreenSaverFile()},
        {"no list, no newline at the end", "mode: random", ProgramsEdit::Added,
         "mode: random\n" + NewXScreenSaverFile()},
        {"a list only in a comment", "# programs: tavrel --root \\n\n", ProgramsEdit::Added,
         "# programs: tavrel --root \\n\n" + NewXScreenSaverFile()},
        {"an empty file", "", ProgramsEdit::Added, NewXScreenSaverFile()},
        {"a program merely named like it", "programs: run-tavrel --root \\n\n", ProgramsEdit::Added,
         "programs: run-tavrel --root \\n\\\n" + Entry + "\n"},

        {"listed as README says", "programs: \\\n  maze -root \\n\\\n" + Entry + "\n",
         ProgramsEdit::AlreadyListed, ""},
        {"listed as the settings tool writes it (no name)",
         "programs:\t\\\n\t\t\t\ttavrel --root\t\t\t\t    \\n\\\n  maze -root \\n\n",
         ProgramsEdit::AlreadyListed, ""},
        {"listed by its full path, with a visual",
         "programs: GL: /usr/local/libexec/tavrel -root\n", ProgramsEdit::AlreadyListed, ""},
        {"listed, marked '-'", "programs: \\\n-  \"Mine\" tavrel --root --lights 5 \\n\n",
         ProgramsEdit::AlreadyListed, "", true},

        {"cut off before more modes", "programs: \\\n  maze -root \\n\n  bumps -root \\n\n",
         ProgramsEdit::Unparseable,
         "ends at line 2 without its line continuation, before more display modes at line 3"},
        {"cut off before a mode with a visual",
         "programs: maze -root \\n\n\nGL: gears -root \\n\\\n  bumps -root \\n\n",
         ProgramsEdit::Unparseable, "before more display modes at line 3"},
        {"cut off before a named mode", "programs: maze -root \\n\n  \"Bumps\" bumps -root\n",
         ProgramsEdit::Unparseable, "before more display modes at line 2"},
        {"a continuation into the end of the file", "programs: \\\n  maze -root \\n\\\n",
         ProgramsEdit::Unparseable, "ends at the end of the file inside a line continuation"},
        {"two lists", "programs: maze -root \\n\nmode: one\nprograms: bumps -root \\n\n",
         ProgramsEdit::Unparseable, "two programs: lists (lines 1 and 3)"},
        {"NUL bytes", std::string("programs: maze\0 -root\n", 22), ProgramsEdit::Unparseable,
         "NUL bytes"},
    };
}

const char* Name(ProgramsEdit outcome)
{
    switch (outcome) {
    case ProgramsEdit::Added: return "Added";
    case ProgramsEdit::AlreadyListed: return "AlreadyListed";
    default: return "Unparseable";
    }
}

// Whether b is a with bytes inserted at one place only.
bool IsOneInsertion(const std::string& a, const std::string& b)
{
    size_t front = 0;
    while (front < a.size() && a[front] == b[front]) ++front;
    const size_t tail = a.size() - front;
    return b.size() >= a.size() && b.compare(b.size() - tail, tail, a, front, tail) == 0;
}

TEST(XScreenSaverList, EveryCaseOfTheTable)
{
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.what);
        const ProgramsEditResult result = AddTavrelToPrograms(c.file);
        ASSERT_STREQ(Name(result.outcome), Name(c.outcome)) << result.reason;
        switch (c.outcome) {
        case ProgramsEdit::Added:
            EXPECT_EQ(result.text, c.expected);
            // Every byte of the file stays: the edit only inserts, at one place.
            EXPECT_TRUE(IsOneInsertion(c.file, result.text));
            // Twice changes nothing.
            EXPECT_EQ(AddTavrelToPrograms(result.text).outcome, ProgramsEdit::AlreadyListed);
            break;
        case ProgramsEdit::AlreadyListed:
            EXPECT_EQ(result.disabled, c.disabled);
            EXPECT_EQ(result.text, "");
            break;
        case ProgramsEdit::Unparseable:
            EXPECT_NE(result.reason.find(c.expected), std::string::npos) << result.reason;
            EXPECT_EQ(result.reason.find('\n'), std::string::npos);
            break;
        }
    }
}

// A user without the file gets only what XScreenSaver needs to list Tavrel, in README's form.
TEST(XScreenSaverList, ANewFileIsTheListWithTavrelAlone)
{
    EXPECT_EQ(NewXScreenSaverFile(), "programs:  \\\n  \"Tavrel\"  tavrel --root  \\n\n");
    EXPECT_EQ(AddTavrelToPrograms(NewXScreenSaverFile()).outcome, ProgramsEdit::AlreadyListed);
}

std::string ReadFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

void WriteFile(const std::string& path, const std::string& text, mode_t mode)
{
    std::ofstream(path, std::ios::binary) << text;
    chmod(path.c_str(), mode);
}

struct stat Stat(const std::string& path)
{
    struct stat st {};
    lstat(path.c_str(), &st);
    return st;
}

// The folder holds nothing but the file afterwards: no temporary file is left behind.
std::vector<std::string> Names(const std::string& folder)
{
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    while (const dirent* entry = readdir(dir)) {
        if (std::string(entry->d_name) != "." && std::string(entry->d_name) != "..") {
            names.push_back(entry->d_name);
        }
    }
    closedir(dir);
    return names;
}

TEST(AddToXScreenSaverFile, EditsTheFileKeepingItsModeAndTwiceChangesNothing)
{
    TempFolder folder;
    const std::string path = folder / ".xscreensaver";
    WriteFile(path, Written, 0640);
    const AddToXScreenSaverReport first = AddTavrelToXScreenSaverFile(path);
    EXPECT_EQ(first.status, 0);
    EXPECT_TRUE(first.changed);
    EXPECT_EQ(first.line, "added Tavrel to the programs: list in " + path);
    EXPECT_EQ(ReadFile(path), AddTavrelToPrograms(Written).text);
    EXPECT_EQ(Stat(path).st_mode & 07777, 0640u);
    EXPECT_EQ(Names(folder.Path()), std::vector<std::string>{".xscreensaver"});

    const struct stat edited = Stat(path);
    const AddToXScreenSaverReport second = AddTavrelToXScreenSaverFile(path);
    EXPECT_EQ(second.status, 0);
    EXPECT_FALSE(second.changed);
    EXPECT_EQ(second.line, path + " lists Tavrel already; nothing changed");
    EXPECT_EQ(Stat(path).st_ino, edited.st_ino);
    EXPECT_EQ(ReadFile(path), AddTavrelToPrograms(Written).text);
}

TEST(AddToXScreenSaverFile, MakesAMissingFile)
{
    TempFolder folder;
    const std::string path = folder / ".xscreensaver";
    const mode_t mask = umask(022);
    const AddToXScreenSaverReport report = AddTavrelToXScreenSaverFile(path);
    umask(mask);
    EXPECT_EQ(report.status, 0);
    EXPECT_TRUE(report.changed);
    EXPECT_EQ(report.line,
              "made " + path + ", which lists Tavrel before XScreenSaver's own display modes");
    EXPECT_EQ(ReadFile(path), NewXScreenSaverFile());
    EXPECT_EQ(Stat(path).st_mode & 07777, 0644u);
    EXPECT_EQ(Names(folder.Path()), std::vector<std::string>{".xscreensaver"});
}

TEST(AddToXScreenSaverFile, LeavesALinkAFolderAndAFileItCannotMakeSenseOfAsTheyAre)
{
    TempFolder folder;
    const std::string real = folder / "real";
    WriteFile(real, "programs: maze -root \\n\n", 0644);
    const std::string link = folder / ".xscreensaver";
    ASSERT_EQ(symlink(real.c_str(), link.c_str()), 0);
    AddToXScreenSaverReport report = AddTavrelToXScreenSaverFile(link);
    EXPECT_EQ(report.status, 2);
    EXPECT_EQ(report.line.rfind(link + " is a symbolic link; left as it is", 0), 0u) << report.line;
    EXPECT_EQ(ReadFile(real), "programs: maze -root \\n\n");
    EXPECT_TRUE(S_ISLNK(Stat(link).st_mode));

    const std::string dir = folder / "dir";
    ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
    report = AddTavrelToXScreenSaverFile(dir);
    EXPECT_EQ(report.status, 2);
    EXPECT_EQ(report.line, dir + " is no plain file; left as it is");

    const std::string cut = folder / "cut";
    const std::string text = "programs: \\\n  maze -root \\n\n  bumps -root \\n\n";
    WriteFile(cut, text, 0600);
    const struct stat before = Stat(cut);
    report = AddTavrelToXScreenSaverFile(cut);
    EXPECT_EQ(report.status, 2);
    EXPECT_EQ(report.line, "cannot make sense of " + cut +
                               ": its programs: list (line 1) ends at line 2 without its line "
                               "continuation, before more display modes at line 3; left as it is");
    EXPECT_EQ(ReadFile(cut), text);
    EXPECT_EQ(Stat(cut).st_ino, before.st_ino);
    EXPECT_EQ(Names(folder.Path()).size(), 4u);
}

// As root every file can be read and written; the daemon's user runs these in tests/e2e/x11.
TEST(AddToXScreenSaverFile, AFileThatCannotBeReadOrWrittenIsLeftAsItIs)
{
    if (geteuid() == 0) GTEST_SKIP() << "root reads and writes any file";
    TempFolder folder;
    const std::string path = folder / ".xscreensaver";
    WriteFile(path, "programs: maze -root \\n\n", 0);
    AddToXScreenSaverReport report = AddTavrelToXScreenSaverFile(path);
    EXPECT_EQ(report.status, 1);
    EXPECT_EQ(report.line, "cannot read " + path + " (Permission denied); left as it is");
    chmod(path.c_str(), 0444);
    report = AddTavrelToXScreenSaverFile(path);
    EXPECT_EQ(report.status, 1);
    EXPECT_EQ(report.line, "cannot write " + path + " (Permission denied); left as it is");
    EXPECT_EQ(ReadFile(path), "programs: maze -root \\n\n");
}

}  // namespace
