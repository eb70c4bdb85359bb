// The mode switch on the command line, and the program-folder cut of the process start.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "host/win32/command_line.h"

namespace {

const std::string Program = "\"C:\\Windows\\System32\\tavrel.scr\"";

void ExpectChoice(const std::string& commandLine, SaverMode mode, uint32_t parentWindow)
{
    const CommandLineChoice choice = ScanCommandLine(commandLine.c_str());
    EXPECT_EQ(choice.mode, mode) << commandLine;
    EXPECT_EQ(choice.parentWindow, parentWindow) << commandLine;
    EXPECT_EQ(choice.previewFlag, mode == SaverMode::Preview ? 1u : 0u) << commandLine;
}

TEST(CommandLineTest, WithoutASwitchItIsConfigWithNoParent)
{
    ExpectChoice(Program, SaverMode::Config, 0);
    ExpectChoice("C:\\tavrel.scr", SaverMode::Config, 0);
    ExpectChoice(Program + " 1234", SaverMode::Config, 0);
    // No backslash at all: the scan stops at the start, the first character looked at too.
    ExpectChoice("tavrel.scr", SaverMode::Config, 0);
    ExpectChoice("tavrel.scr /x 5", SaverMode::Config, 0);
    ExpectChoice("", SaverMode::Config, 0);
    ExpectChoice("/", SaverMode::Config, 0);
    ExpectChoice("/s", SaverMode::Saver, 0);
    ExpectChoice("-p7", SaverMode::Preview, 7);
    const CommandLineChoice none = ScanCommandLine(nullptr);
    EXPECT_EQ(none.mode, SaverMode::Config);
    EXPECT_EQ(none.parentWindow, 0u);
}

TEST(CommandLineTest, EachLetterWithEitherMarkInEitherCase)
{
    const struct {
        char letter;
        SaverMode mode;
    } letters[] = {{'s', SaverMode::Saver},
                   {'c', SaverMode::Config},
                   {'a', SaverMode::ChangePassword},
                   {'p', SaverMode::Preview}};
    for (const auto& entry : letters) {
        for (const char mark : {'/', '-'}) {
            for (const char letter : {entry.letter, static_cast<char>(entry.letter - 'a' + 'A')}) {
                ExpectChoice(Program + " " + mark + letter, entry.mode, 0);
                ExpectChoice(Program + " " + mark + letter + " 99", entry.mode, 99);
            }
        }
    }
    // Any other letter is no switch, and the scan goes on towards the start.
    ExpectChoice(Program + " /s /x", SaverMode::Saver, 0);
    ExpectChoice(Program + " /s /b 5", SaverMode::Saver, 0);
}

TEST(CommandLineTest, TheNumberMayFollowBlanksColonsQuotesOrNothing)
{
    for (const std::string between : {" ", ":", "\"", "", "  ", " : \"", "\"\""}) {
        ExpectChoice(Program + " /p" + between + "1234", SaverMode::Preview, 1234);
    }
    ExpectChoice(Program + " /p abc", SaverMode::Preview, 0);
    ExpectChoice(Program + " /p", SaverMode::Preview, 0);
    ExpectChoice(Program + " /p :  ", SaverMode::Preview, 0);
    ExpectChoice(Program + " /c:1234", SaverMode::Config, 1234);
    ExpectChoice(Program + " /s 12ab", SaverMode::Saver, 12);
    // A sign is no digit.
    ExpectChoice(Program + " /p -5", SaverMode::Preview, 0);
}

TEST(CommandLineTest, TheSwitchNearestTheEndBehindTheLastBackslashWins)
{
    ExpectChoice(Program + " /s /c", SaverMode::Config, 0);
    ExpectChoice(Program + " /c 5 /p 6", SaverMode::Preview, 6);
    // Switches before the last backslash do not count.
    ExpectChoice("tavrel.scr /s C:\\folder", SaverMode::Config, 0);
    ExpectChoice("C:\\-s\\tavrel.scr", SaverMode::Config, 0);
    // The program's file name is scanned: a dash and a switch letter in it make a switch.
    ExpectChoice("C:\\Savers\\my-saver.scr", SaverMode::Saver, 0);
    ExpectChoice("\"C:\\Savers\\my-saver.scr\" /p 44", SaverMode::Preview, 44);
    ExpectChoice("\"C:\\Savers\\the-pack.scr\"", SaverMode::Preview, 0);
}

TEST(CommandLineTest, BytesAboveAsciiAreNeitherMarksLettersNorDigits)
{
    ExpectChoice(Program + " /\xF3", SaverMode::Config, 0);
    ExpectChoice(Program +
                     " \xAF"
                     "s",
                 SaverMode::Config, 0);
    ExpectChoice(Program +
                     " /s 12\xB3"
                     "4",
                 SaverMode::Saver, 12);
    ExpectChoice(Program +
                     " /s \xB1"
                     "4",
                 SaverMode::Saver, 0);
    ExpectChoice("C:\\\xC3\xA9t\xC3\xA9\\tavrel-\xE9\xFF.scr /a", SaverMode::ChangePassword, 0);
}

TEST(CommandLineTest, ParseDecimalWrapsModulo2To32)
{
    EXPECT_EQ(ParseDecimal("4294967295"), 4294967295u);
    EXPECT_EQ(ParseDecimal("4294967296"), 0u);
    EXPECT_EQ(ParseDecimal("4294967297"), 1u);
    EXPECT_EQ(ParseDecimal("99999999999999999999"), 1661992959u);  // 10^20 - 1 mod 2^32
    EXPECT_EQ(ParseDecimal("0012"), 12u);
    EXPECT_EQ(ParseDecimal("12ab"), 12u);
    EXPECT_EQ(ParseDecimal("x12"), 0u);
    EXPECT_EQ(ParseDecimal(""), 0u);
    EXPECT_EQ(ParseDecimal(nullptr), 0u);
    ExpectChoice(Program + " /p 4294967296", SaverMode::Preview, 0);
    ExpectChoice(Program + " /p 4294967297", SaverMode::Preview, 1);
}

TEST(ProgramFolderTest, CutsAtTheLastBackslash)
{
    char path[32] = "C:\\Savers\\tavrel.scr";
    ASSERT_TRUE(CutPathToFolder(path, static_cast<uint32_t>(std::strlen(path)), sizeof path));
    EXPECT_STREQ(path, "C:\\Savers");

    // In the root of a drive the folder is the root itself: "C:" alone would be the drive's
    // current folder.
    char root[32] = "C:\\tavrel.scr";
    ASSERT_TRUE(CutPathToFolder(root, static_cast<uint32_t>(std::strlen(root)), sizeof root));
    EXPECT_STREQ(root, "C:\\");

    // Only the given length is searched.
    char tail[32] = "C:\\a\\b";
    ASSERT_TRUE(CutPathToFolder(tail, 5, sizeof tail));
    EXPECT_STREQ(tail, "C:\\a");
}

TEST(ProgramFolderTest, LeavesPathsItCannotTrustAlone)
{
    // A length that does not fit the buffer is what the platform reports for a path too long
    // for it: the buffer then holds no full path.
    char full[16] = "C:\\dir\\x.scr";
    EXPECT_FALSE(CutPathToFolder(full, 16, sizeof full));
    EXPECT_FALSE(CutPathToFolder(full, 4000, sizeof full));
    EXPECT_STREQ(full, "C:\\dir\\x.scr");
    // A failed call reports 0.
    EXPECT_FALSE(CutPathToFolder(full, 0, sizeof full));
    EXPECT_STREQ(full, "C:\\dir\\x.scr");
    // No backslash: no folder.
    char bare[16] = "tavrel.scr";
    EXPECT_FALSE(CutPathToFolder(bare, 10, sizeof bare));
    EXPECT_STREQ(bare, "tavrel.scr");
    EXPECT_FALSE(CutPathToFolder(nullptr, 3, 16));
}

}  // namespace
