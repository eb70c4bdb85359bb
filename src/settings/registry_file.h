// The settings file of builds without the registry: the registry's export format, so that a
// user can read and edit it and import it on Windows:
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_CURRENT_USER\Control Panel\Desktop\3D Tavrel Screensaver]
//   "[Light Speed]"=dword:00000032
//   "[Version]"=hex(1):31,2e,30
//
// Reading and writing happen on text in memory; the file store (posix/) does the file work.
// Whatever the reader does not understand is kept as it was and written back unchanged.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum class RegFileStatus : uint8_t {
    Empty,        // no text, or only blanks
    Parsed,       // starts with the format's header line
    Unparseable,  // anything else: not to be overwritten without keeping a copy
};

enum class RegLineKind : uint8_t {
    Header,  // "Windows Registry Editor Version 5.00" or "REGEDIT4"
    Blank,
    Comment,    // ; ...
    KeyOpen,    // [path]
    KeyDelete,  // [-path]: the key and its subkeys are gone from here on
    BrokenKey,  // [...] but no key path in it; ends the key before it
    Value,      // "name"=data or @=data
    Other,      // not understood
    Removed,    // dropped by an update, not written
};

struct RegFileLine {
    RegLineKind kind = RegLineKind::Other;
    std::string raw;            // as read, without line endings; '\n' joins continued lines
    std::string keyPath;        // KeyOpen, KeyDelete: the text between the brackets
    std::string valueName;      // Value: unquoted, unescaped; empty for '@'
    bool readable = false;      // Value: the data was understood
    bool deletesValue = false;  // Value: "name"=-
    uint32_t type = 0;          // Value: registry type number
    std::vector<uint8_t> data;  // Value: the bytes the registry would hold
};

struct RegFile {
    RegFileStatus status = RegFileStatus::Empty;
    std::vector<RegFileLine> lines;
    std::string_view lineEnding = "\r\n";  // that of the text read; CRLF for a new file
};

// Never fails: text of any bytes gives a RegFile. A leading UTF-16LE byte-order mark (as the
// registry editor exports) is decoded, a UTF-8 one skipped.
RegFile ParseSettingsFile(std::string_view text);

// The value as importing the file would leave it under HKEY_CURRENT_USER\keyPath: the last
// readable line for it in that key, unless a later "=-" or key deletion removed it. Null when
// there is none. Key paths and value names compare as the registry does, ignoring ASCII case.
const RegFileLine* FindRegFileValue(const RegFile& file, std::string_view keyPath,
                                    std::string_view name);

// Creates or replaces the value, leaving every other line as it is. A file that is not Parsed
// starts over as a new file holding just this key.
void SetRegFileValue(RegFile& file, std::string_view keyPath, std::string_view name, uint32_t type,
                     const uint8_t* data, size_t length);

// The text of the file, every line ended by the file's line ending.
std::string SerializeSettingsFile(const RegFile& file);
