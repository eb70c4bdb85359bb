// The registry-export text format of the settings file, in memory.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/registry_file.h"

namespace {

const std::string Key = "Control Panel\\Desktop\\3D Tavrel Screensaver";
const std::string Section = "[HKEY_CURRENT_USER\\Control Panel\\Desktop\\3D Tavrel Screensaver]";

using Bytes = std::vector<uint8_t>;

// The value's bytes, or {0xEE} when the file holds none.
Bytes Lookup(const RegFile& file, const std::string& name, uint32_t* type = nullptr)
{
    const RegFileLine* line = FindRegFileValue(file, Key, name);
    if (line == nullptr) return {0xEE};
    if (type != nullptr) *type = line->type;
    return line->data;
}

void SetDword(RegFile& file, const std::string& name, uint32_t value)
{
    const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                              static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    SetRegFileValue(file, Key, name, 4, bytes, 4);
}

TEST(RegistryFileTest, ReadsWhatTheRegistryEditorExports)
{
    const std::string text =
        "Windows Registry Editor Version 5.00\r\n"
        "\r\n"
        "; written by hand\r\n"
        "[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n"
        "\"[bFps]\"=dword:00000001\r\n"
        "\r\n" +
        Section +
        "\r\n"
        "\"[Light Speed]\"=dword:00000032\r\n"
        "\"[Version]\"=hex(1):31,2e,30\r\n"
        "\"Name\"=\"a \\\"quoted\\\" C:\\\\path\"\r\n"
        "\"Blob\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,\\\r\n"
        "  17,18,19\r\n"
        "@=\"default\"\r\n"
        "\"[bTime]\" = dword:0\r\n";
    const RegFile file = ParseSettingsFile(text);
    ASSERT_EQ(file.status, RegFileStatus::Parsed);
    EXPECT_EQ(file.lineEnding, "\r\n");

    uint32_t type = 0;
    EXPECT_EQ(Lookup(file, "[Light Speed]", &type), (Bytes{0x32, 0, 0, 0}));
    EXPECT_EQ(type, 4u);
    EXPECT_EQ(Lookup(file, "[Version]", &type), (Bytes{'1', '.', '0'}));
    EXPECT_EQ(type, 1u);
    const std::string name = "a \"quoted\" C:\\path";
    Bytes expectedName(name.begin(), name.end());
    expectedName.push_back(0);
    EXPECT_EQ(Lookup(file, "Name", &type), expectedName);
    EXPECT_EQ(type, 1u);
    Bytes blob;
    for (uint8_t i = 0; i < 0x1a; ++i) blob.push_back(i);
    EXPECT_EQ(Lookup(file, "Blob", &type), blob);
    EXPECT_EQ(type, 3u);
    EXPECT_EQ(Lookup(file, ""), (Bytes{'d', 'e', 'f', 'a', 'u', 'l', 't', 0}));
    EXPECT_EQ(Lookup(file, "[bTime]"), (Bytes{0, 0, 0, 0}));
    // A value of another key is not this key's.
    EXPECT_EQ(Lookup(file, "[bFps]"), Bytes{0xEE});
    // Key paths and value names ignore case, as in the registry.
    EXPECT_NE(FindRegFileValue(file, "control panel\\DESKTOP\\3d tavrel screensaver",
                               "[LIGHT speed]"),
              nullptr);
}

TEST(RegistryFileTest, TheLastWordOnAValueCounts)
{
    const std::string text = "Windows Registry Editor Version 5.00\n\n" + Section +
                             "\n"
                             "\"[bFps]\"=dword:00000001\n"
                             "\"[bFps]\"=dword:00000002\n"  // a later line wins
                             "\"[bTnL]\"=dword:00000001\n"
                             "\"[bTnL]\"=-\n"  // and may delete the value
                             "\"[bTime]\"=dword:00000000\n"
                             "\"[bTime]\"=dword:zz\n"  // an unreadable line does not
                             "[-HKEY_CURRENT_USER\\Control Panel\\Desktop]\n"
                             "\n" +
                             Section +
                             "\n"
                             "\"[Prominent]\"=dword:00000009\n"
                             "[]\n"
                             "\"[Num Lights]\"=dword:00000004\n";  // belongs to no key
    const RegFile file = ParseSettingsFile(text);
    ASSERT_EQ(file.status, RegFileStatus::Parsed);
    EXPECT_EQ(file.lineEnding, "\n");
    // The deletion of a parent key removed everything before it.
    EXPECT_EQ(Lookup(file, "[bFps]"), Bytes{0xEE});
    EXPECT_EQ(Lookup(file, "[bTime]"), Bytes{0xEE});
    EXPECT_EQ(Lookup(file, "[Prominent]"), (Bytes{9, 0, 0, 0}));
    EXPECT_EQ(Lookup(file, "[Num Lights]"), Bytes{0xEE});

    const std::string withoutDeletion = "Windows Registry Editor Version 5.00\n\n" + Section +
                                        "\n"
                                        "\"[bFps]\"=dword:00000001\n"
                                        "\"[bFps]\"=dword:00000002\n"
                                        "\"[bTnL]\"=dword:00000001\n"
                                        "\"[bTnL]\"=-\n"
                                        "\"[bTime]\"=dword:00000000\n"
                                        "\"[bTime]\"=dword:zz\n";
    const RegFile second = ParseSettingsFile(withoutDeletion);
    EXPECT_EQ(Lookup(second, "[bFps]"), (Bytes{2, 0, 0, 0}));
    EXPECT_EQ(Lookup(second, "[bTnL]"), Bytes{0xEE});
    EXPECT_EQ(Lookup(second, "[bTime]"), (Bytes{0, 0, 0, 0}));
}

TEST(RegistryFileTest, ValuesItCannotReadAreAbsentAndTheRestStillCounts)
{
    const std::vector<std::string> badLines = {
        "\"[bTnL]\"=dword:123456789",  // more than 32 bits
        "\"[bTnL]\"=dword:-1",
        "\"[bTnL]\"=dword:",
        "\"[bTnL]\"=dword:0x10",
        "\"[bTnL]\"=hex:01,zz,00,00",
        "\"[bTnL]\"=hex:01,,00",
        "\"[bTnL]\"=hex:100,00",
        "\"[bTnL]\"=hex(zz):01,00,00,00",
        "\"[bTnL]\"=hex(4:01,00,00,00",
        "\"[bTnL]\"=\"unterminated",
        "\"[bTnL]\"=\"text\" and more",
        "\"[bTnL]\"=qword:1",
        "\"[bTnL]\"",
        "\"[bTnL]=dword:00000001",
        "[bTnL]=dword:00000001",
        "\"[bTnL]\"=hex:01,00,\\",  // continued, but the next line is not indented
    };
    for (const std::string& bad : badLines) {
        const std::string text = "Windows Registry Editor Version 5.00\n\n" + Section + "\n" + bad +
                                 "\n\"[bFps]\"=dword:00000001\n";
        const RegFile file = ParseSettingsFile(text);
        ASSERT_EQ(file.status, RegFileStatus::Parsed) << bad;
        EXPECT_EQ(Lookup(file, "[bTnL]"), Bytes{0xEE}) << bad;
        EXPECT_EQ(Lookup(file, "[bFps]"), (Bytes{1, 0, 0, 0})) << bad;
        // Whatever was not understood is written back as it was.
        EXPECT_EQ(SerializeSettingsFile(file), text) << bad;
    }
}

TEST(RegistryFileTest, ACutOffLastLineIsNotReadAsAShorterNumber)
{
    const std::string start = "Windows Registry Editor Version 5.00\n\n" + Section + "\n";
    EXPECT_EQ(Lookup(ParseSettingsFile(start + "\"[Light Speed]\"=dword:0000"), "[Light Speed]"),
              Bytes{0xEE});
    EXPECT_EQ(Lookup(ParseSettingsFile(start + "\"[Light Speed]\"=hex(4):32,00,00,0"),
                     "[Light Speed]"),
              Bytes{0xEE});
    EXPECT_EQ(Lookup(ParseSettingsFile(start + "\"[Light Speed]\"=hex(4):32,00,\\"),
                     "[Light Speed]"),
              Bytes{0xEE});
    // Complete, the same forms are read; short numbers are fine on an ended line.
    EXPECT_EQ(Lookup(ParseSettingsFile(start + "\"[Light Speed]\"=dword:00000032"),
                     "[Light Speed]"),
              (Bytes{0x32, 0, 0, 0}));
    EXPECT_EQ(Lookup(ParseSettingsFile(start + "\"[Light Speed]\"=dword:32\n"), "[Light Speed]"),
              (Bytes{0x32, 0, 0, 0}));
    EXPECT_EQ(Lookup(ParseSettingsFile(start + "\"[Light Speed]\"=hex(4):32,0,0,0\n"),
                     "[Light Speed]"),
              (Bytes{0x32, 0, 0, 0}));
}

TEST(RegistryFileTest, TellsEmptyAndForeignTextApart)
{
    EXPECT_EQ(ParseSettingsFile("").status, RegFileStatus::Empty);
    EXPECT_EQ(ParseSettingsFile(" \r\n\t\n").status, RegFileStatus::Empty);
    EXPECT_EQ(ParseSettingsFile("\xEF\xBB\xBF").status, RegFileStatus::Empty);
    EXPECT_EQ(ParseSettingsFile("Windows Registry Editor").status, RegFileStatus::Unparseable);
    EXPECT_EQ(ParseSettingsFile("[HKEY_CURRENT_USER\\x]\n").status, RegFileStatus::Unparseable);
    EXPECT_EQ(ParseSettingsFile(std::string("\x00\x01\xFF\xC3\x28", 5)).status,
              RegFileStatus::Unparseable);
    EXPECT_EQ(ParseSettingsFile("REGEDIT4\n").status, RegFileStatus::Parsed);

    // Bytes that are not UTF-8 after a good header are kept, not fatal.
    const std::string text = "Windows Registry Editor Version 5.00\n\n" + Section +
                             "\n\"\xC3\x28\xFF\"=\"\xFE\"\n\"[bFps]\"=dword:00000001\n";
    const RegFile file = ParseSettingsFile(text);
    EXPECT_EQ(Lookup(file, "[bFps]"), (Bytes{1, 0, 0, 0}));
    EXPECT_EQ(SerializeSettingsFile(file), text);
}

TEST(RegistryFileTest, DecodesTheEditorsUtf16AndSkipsAUtf8Mark)
{
    const std::string utf8 =
        "Windows Registry Editor Version 5.00\r\n\r\n" + Section +
        "\r\n\"[Num Lights]\"=dword:00000003\r\n\"Name\"=\"\xC3\xA9\xF0\x9F\x98\x80\"\r\n";
    // The same text as UTF-16LE: ASCII, U+00E9, and U+1F600 as a surrogate pair.
    std::string utf16 = "\xFF\xFE";
    for (size_t i = 0; i < utf8.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c == 0xC3) {
            utf16 += std::string("\xE9\x00", 2);
            i += 1;
        } else if (c == 0xF0) {
            utf16 += std::string("\x3D\xD8\x00\xDE", 4);
            i += 3;
        } else {
            utf16 += static_cast<char>(c);
            utf16 += '\0';
        }
    }
    for (const std::string& text : {utf16, "\xEF\xBB\xBF" + utf8}) {
        const RegFile file = ParseSettingsFile(text);
        ASSERT_EQ(file.status, RegFileStatus::Parsed);
        EXPECT_EQ(Lookup(file, "[Num Lights]"), (Bytes{3, 0, 0, 0}));
        EXPECT_EQ(Lookup(file, "Name"), (Bytes{0xC3, 0xA9, 0xF0, 0x9F, 0x98, 0x80, 0}));
    }
    // A lone surrogate and an odd last byte do not stop the reading.
    const RegFile broken = ParseSettingsFile(utf16 + std::string("\x00\xD8\x41", 3));
    EXPECT_EQ(Lookup(broken, "[Num Lights]"), (Bytes{3, 0, 0, 0}));
}

TEST(RegistryFileTest, ANewFileIsTheEditorsExportFormat)
{
    RegFile file;
    SetDword(file, "[bTnL]", 0);
    SetDword(file, "[Light Speed]", 50);
    SetDword(file, "[Prominent]", 0xFFFFFFFF);
    const uint8_t version[3] = {'1', '.', '0'};
    SetRegFileValue(file, Key, "[Version]", 1, version, 3);
    const uint8_t text[4] = {'a', '"', '\\', 0};
    SetRegFileValue(file, Key, "Text", 1, text, 4);
    SetRegFileValue(file, Key, "", 3, nullptr, 0);
    const uint8_t qword[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    SetRegFileValue(file, Key, "Q", 0xb, qword, 8);
    EXPECT_EQ(SerializeSettingsFile(file),
              "Windows Registry Editor Version 5.00\r\n"
              "\r\n" +
                  Section +
                  "\r\n"
                  "\"[bTnL]\"=dword:00000000\r\n"
                  "\"[Light Speed]\"=dword:00000032\r\n"
                  "\"[Prominent]\"=dword:ffffffff\r\n"
                  "\"[Version]\"=hex(1):31,2e,30\r\n"
                  "\"Text\"=\"a\\\"\\\\\"\r\n"
                  "@=hex:\r\n"
                  "\"Q\"=hex(b):01,02,03,04,05,06,07,08\r\n"
                  "\r\n");
}

TEST(RegistryFileTest, LongDataIsWrappedAndReadsBack)
{
    RegFile file;
    Bytes data;
    for (int i = 0; i < 100; ++i) data.push_back(static_cast<uint8_t>(i * 7));
    SetRegFileValue(file, Key, "Long", 3, data.data(), data.size());
    const std::string text = SerializeSettingsFile(file);
    size_t lineStart = 0;
    size_t lines = 0;
    for (size_t end = text.find("\r\n"); end != std::string::npos;
         lineStart = end + 2, end = text.find("\r\n", lineStart), ++lines) {
        EXPECT_LE(end - lineStart, 80u);
    }
    EXPECT_GT(lines, 6u);
    EXPECT_EQ(Lookup(ParseSettingsFile(text), "Long"), data);
}

TEST(RegistryFileTest, AnUpdateKeepsEverythingElseAsItWas)
{
    const std::string before =
        "Windows Registry Editor Version 5.00\n"
        "\n"
        "[HKEY_CURRENT_USER\\Software\\Other]\n"
        "\"Keep\"=dword:00000007\n"
        "\n" +
        Section +
        "\n"
        "\"[bFps]\"=dword:00000000\n"
        "\"Unknown\"=hex(2):25,00\n"
        "\"[bFps]\"=dword:00000001\n"
        "\"Odd line\n"
        "\n"
        "; the next key\n"
        "[HKEY_CURRENT_USER\\Software\\More]\n"
        "\"[Light Speed]\"=dword:00000001\n";
    RegFile file = ParseSettingsFile(before);
    SetDword(file, "[bFps]", 0);          // replaced where its last line was
    SetDword(file, "[Light Speed]", 99);  // new: after the key's last value
    EXPECT_EQ(SerializeSettingsFile(file),
              "Windows Registry Editor Version 5.00\n"
              "\n"
              "[HKEY_CURRENT_USER\\Software\\Other]\n"
              "\"Keep\"=dword:00000007\n"
              "\n" +
                  Section +
                  "\n"
                  "\"Unknown\"=hex(2):25,00\n"
                  "\"[bFps]\"=dword:00000000\n"
                  "\"[Light Speed]\"=dword:00000063\n"
                  "\"Odd line\n"
                  "\n"
                  "; the next key\n"
                  "[HKEY_CURRENT_USER\\Software\\More]\n"
                  "\"[Light Speed]\"=dword:00000001\n");
}

TEST(RegistryFileTest, AValueSetAfterADeletionOfItsKeyGoesInANewSection)
{
    const std::string before = "Windows Registry Editor Version 5.00\n\n" + Section +
                               "\n\"[bFps]\"=dword:00000001\n\n"
                               "[-" +
                               Section.substr(1) + "\n";
    RegFile file = ParseSettingsFile(before);
    SetDword(file, "[bFps]", 5);
    SetDword(file, "[bTime]", 6);
    const std::string after = SerializeSettingsFile(file);
    EXPECT_EQ(after, before + "\n" + Section +
                         "\n\"[bFps]\"=dword:00000005\n"
                         "\"[bTime]\"=dword:00000006\n\n");
    const RegFile reread = ParseSettingsFile(after);
    EXPECT_EQ(Lookup(reread, "[bFps]"), (Bytes{5, 0, 0, 0}));
    EXPECT_EQ(Lookup(reread, "[bTime]"), (Bytes{6, 0, 0, 0}));
}

TEST(RegistryFileTest, ForeignTextIsReplacedByANewFileOnUpdate)
{
    RegFile file = ParseSettingsFile("not a registry file\n\"[bFps]\"=dword:00000001\n");
    ASSERT_EQ(file.status, RegFileStatus::Unparseable);
    EXPECT_EQ(FindRegFileValue(file, Key, "[bFps]"), nullptr);
    SetDword(file, "[bFps]", 2);
    EXPECT_EQ(SerializeSettingsFile(file), "Windows Registry Editor Version 5.00\r\n\r\n" +
                                               Section + "\r\n\"[bFps]\"=dword:00000002\r\n\r\n");
}

}  // namespace
