#include "settings/registry_file.h"

#include <cstddef>

#include "settings/settings_store.h"
#include "support/ascii.h"

namespace {

constexpr std::string_view HeaderText = "Windows Registry Editor Version 5.00";
constexpr std::string_view OldHeaderText = "REGEDIT4";
constexpr std::string_view UserRoot = "HKEY_CURRENT_USER";

bool IsBlankChar(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && (IsBlankChar(text.front()) || text.front() == '\r')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (IsBlankChar(text.back()) || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// 1 to maxDigits hex digits and nothing else.
bool ParseHexNumber(std::string_view text, size_t maxDigits, uint32_t& value)
{
    if (text.empty() || text.size() > maxDigits) return false;
    value = 0;
    for (char c : text) {
        const int digit = HexDigitValue(c);
        if (digit < 0) return false;
        value = value << 4 | static_cast<uint32_t>(digit);
    }
    return true;
}

void AppendUtf8(std::string& out, uint32_t codePoint)
{
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | codePoint >> 6);
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += static_cast<char>(0xE0 | codePoint >> 12);
        out += static_cast<char>(0x80 | (codePoint >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | codePoint >> 18);
        out += static_cast<char>(0x80 | (codePoint >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (codePoint >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

// The registry editor exports UTF-16LE; unpaired surrogates become U+FFFD, an odd last byte
// is dropped.
std::string DecodeUtf16Le(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() / 2);
    const size_t units = bytes.size() / 2;
    auto unitAt = [&](size_t i) {
        return static_cast<uint32_t>(static_cast<uint8_t>(bytes[2 * i])) |
               static_cast<uint32_t>(static_cast<uint8_t>(bytes[2 * i + 1])) << 8;
    };
    for (size_t i = 0; i < units; ++i) {
        const uint32_t unit = unitAt(i);
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units) {
            const uint32_t next = unitAt(i + 1);
            if (next >= 0xDC00 && next <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00));
                ++i;
                continue;
            }
        }
        AppendUtf8(out, unit >= 0xD800 && unit <= 0xDFFF ? 0xFFFD : unit);
    }
    return out;
}

// A quoted text starting at text[0] == '"', with \\ and \" escapes. On success, end is the
// index just past the closing quote.
bool ParseQuoted(std::string_view text, std::string& out, size_t& end)
{
    out.clear();
    for (size_t i = 1; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') {
            end = i + 1;
            return true;
        }
        if (c == '\\') {
            if (++i == text.size()) return false;
            out += text[i];
        } else {
            out += c;
        }
    }
    return false;
}

struct PhysicalLines {
    std::vector<std::string_view> lines;
    bool lastTerminated = true;  // the text ends with a line ending
};

PhysicalLines SplitLines(std::string_view text)
{
    PhysicalLines result;
    size_t start = 0;
    while (start < text.size()) {
        const size_t newline = text.find('\n', start);
        if (newline == std::string_view::npos) {
            result.lines.push_back(text.substr(start));
            result.lastTerminated = false;
            break;
        }
        result.lines.push_back(text.substr(start, newline - start));
        start = newline + 1;
    }
    // Carriage returns at a line's end are line-ending material, however many there are.
    for (std::string_view& line : result.lines) {
        while (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    }
    return result;
}

// The data after "hex:" or "hex(n):" with its continuation lines. A line ending in a
// backslash continues on the next line, which must be indented as the registry editor writes
// it; the continuation lines are consumed into line.raw. Near a cut-off end of the text only
// full two-digit bytes count, so that a truncated file cannot pass for a shorter value.
bool ParseHexBytes(std::string_view first, const PhysicalLines& physical, size_t& index,
                   RegFileLine& line)
{
    std::string joined;
    std::string_view piece = Trim(first);
    for (;;) {
        if (piece.empty() || piece.back() != '\\') {
            joined += piece;
            break;
        }
        piece.remove_suffix(1);
        joined += piece;
        if (index + 1 >= physical.lines.size()) return false;
        const std::string_view next = physical.lines[index + 1];
        if (next.empty() || !IsBlankChar(next.front())) return false;
        ++index;
        line.raw += '\n';
        line.raw += next;
        piece = Trim(next);
    }
    const bool lastLineComplete = index + 1 < physical.lines.size() || physical.lastTerminated;

    line.data.clear();
    std::string_view rest = Trim(joined);
    if (rest.empty()) return true;
    for (;;) {
        const size_t comma = rest.find(',');
        const std::string_view token = Trim(rest.substr(0, comma));
        uint32_t byte = 0;
        if (!ParseHexNumber(token, 2, byte)) return false;
        if (!lastLineComplete && token.size() != 2) return false;
        line.data.push_back(static_cast<uint8_t>(byte));
        if (comma == std::string_view::npos) return true;
        rest = rest.substr(comma + 1);
    }
}

// A value line: "name"=data or @=data. Fills line and may consume continuation lines.
void ParseValueLine(std::string_view trimmed, const PhysicalLines& physical, size_t& index,
                    RegFileLine& line)
{
    size_t afterName = 0;
    if (trimmed.front() == '@') {
        line.valueName.clear();
        afterName = 1;
    } else if (!ParseQuoted(trimmed, line.valueName, afterName)) {
        return;  // Other: not even a name
    }
    std::string_view rest = trimmed.substr(afterName);
    while (!rest.empty() && IsBlankChar(rest.front())) rest.remove_prefix(1);
    if (rest.empty() || rest.front() != '=') return;
    rest.remove_prefix(1);
    while (!rest.empty() && IsBlankChar(rest.front())) rest.remove_prefix(1);

    line.kind = RegLineKind::Value;
    const bool complete = index + 1 < physical.lines.size() || physical.lastTerminated;
    if (rest == "-") {
        line.deletesValue = true;
        line.readable = true;
    } else if (!rest.empty() && rest.front() == '"') {
        std::string text;
        size_t end = 0;
        if (ParseQuoted(rest, text, end) && Trim(rest.substr(end)).empty()) {
            line.type = StoreTypeString;
            line.data.assign(text.begin(), text.end());
            line.data.push_back(0);
            line.readable = true;
        }
    } else if (StartsWithIgnoringCase(rest, "dword:")) {
        const std::string_view digits = Trim(rest.substr(6));
        uint32_t value = 0;
        if (ParseHexNumber(digits, 8, value) && (complete || digits.size() == 8)) {
            line.type = StoreTypeDword;
            line.data = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                         static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
            line.readable = true;
        }
    } else if (StartsWithIgnoringCase(rest, "hex")) {
        std::string_view after = rest.substr(3);
        uint32_t type = StoreTypeBinary;
        bool typeOk = true;
        if (!after.empty() && after.front() == '(') {
            const size_t close = after.find(')');
            typeOk = close != std::string_view::npos &&
                     ParseHexNumber(after.substr(1, close - 1), 8, type);
            if (typeOk) after = after.substr(close + 1);
        }
        if (typeOk && !after.empty() && after.front() == ':') {
            if (ParseHexBytes(after.substr(1), physical, index, line)) {
                line.type = type;
                line.readable = true;
            } else {
                line.data.clear();
            }
        }
    }
}

bool IsUserKey(std::string_view linePath, std::string_view keyPath)
{
    return linePath.size() == UserRoot.size() + 1 + keyPath.size() &&
           StartsWithIgnoringCase(linePath, UserRoot) && linePath[UserRoot.size()] == '\\' &&
           EqualIgnoringCase(linePath.substr(UserRoot.size() + 1), keyPath);
}

// True when deleting linePath deletes HKEY_CURRENT_USER\keyPath too.
bool IsUserKeyOrAncestor(std::string_view linePath, std::string_view keyPath)
{
    if (!StartsWithIgnoringCase(linePath, UserRoot)) return false;
    if (linePath.size() == UserRoot.size()) return true;
    if (linePath[UserRoot.size()] != '\\') return false;
    const std::string_view below = linePath.substr(UserRoot.size() + 1);
    if (!StartsWithIgnoringCase(keyPath, below)) return false;
    return keyPath.size() == below.size() || keyPath[below.size()] == '\\';
}

void AppendHexByte(std::string& out, uint8_t byte)
{
    constexpr char Digits[] = "0123456789abcdef";
    out += Digits[byte >> 4];
    out += Digits[byte & 0x0F];
}

std::string QuoteText(std::string_view text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    out += '"';
    return out;
}

// The line the registry editor would export for this value.
std::string FormatValueLine(std::string_view name, uint32_t type, const uint8_t* data,
                            size_t length)
{
    std::string out = name.empty() ? std::string("@") : QuoteText(name);
    out += '=';
    if (type == StoreTypeDword && length == 4) {
        const uint32_t value = uint32_t{data[0]} | uint32_t{data[1]} << 8 |
                               uint32_t{data[2]} << 16 | uint32_t{data[3]} << 24;
        out += "dword:";
        for (int shift = 28; shift >= 0; shift -= 4) {
            out += "0123456789abcdef"[value >> shift & 0xF];
        }
        return out;
    }
    // A text is written quoted only when the quoted form reads back as the same bytes.
    bool plainText = type == StoreTypeString && length >= 1 && data[length - 1] == 0;
    for (size_t i = 0; plainText && i + 1 < length; ++i) {
        plainText = data[i] >= 0x20 && data[i] < 0x7F;
    }
    if (plainText) {
        out += QuoteText(std::string_view(reinterpret_cast<const char*>(data), length - 1));
        return out;
    }
    if (type == StoreTypeBinary) {
        out += "hex:";
    } else {
        out += "hex(";
        bool started = false;
        for (int shift = 28; shift >= 0; shift -= 4) {
            const uint32_t digit = type >> shift & 0xF;
            if (digit != 0 || started || shift == 0) {
                out += "0123456789abcdef"[digit];
                started = true;
            }
        }
        out += "):";
    }
    size_t lineStart = 0;
    for (size_t i = 0; i < length; ++i) {
        AppendHexByte(out, data[i]);
        if (i + 1 < length) {
            out += ',';
            if (out.size() - lineStart > 76) {
                out += "\\\n  ";
                lineStart = out.size() - 2;
            }
        }
    }
    return out;
}

RegFileLine MakeLine(RegLineKind kind, std::string raw)
{
    RegFileLine line;
    line.kind = kind;
    line.raw = std::move(raw);
    return line;
}

}  // namespace

RegFile ParseSettingsFile(std::string_view text)
{
    RegFile file;
    std::string decoded;
    if (text.size() >= 2 && static_cast<uint8_t>(text[0]) == 0xFF &&
        static_cast<uint8_t>(text[1]) == 0xFE) {
        decoded = DecodeUtf16Le(text.substr(2));
        text = decoded;
    } else if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);
    }

    const size_t firstNewline = text.find('\n');
    if (firstNewline != std::string_view::npos &&
        (firstNewline == 0 || text[firstNewline - 1] != '\r')) {
        file.lineEnding = "\n";
    }

    const PhysicalLines physical = SplitLines(text);
    bool headerSeen = false;
    for (size_t index = 0; index < physical.lines.size(); ++index) {
        const std::string_view rawLine = physical.lines[index];
        const std::string_view trimmed = Trim(rawLine);
        RegFileLine line = MakeLine(RegLineKind::Other, std::string(rawLine));
        if (trimmed.empty()) {
            line.kind = RegLineKind::Blank;
        } else if (!headerSeen) {
            if (trimmed != HeaderText && trimmed != OldHeaderText) {
                file.status = RegFileStatus::Unparseable;
                file.lines.clear();
                return file;
            }
            line.kind = RegLineKind::Header;
            headerSeen = true;
        } else if (trimmed.front() == ';') {
            line.kind = RegLineKind::Comment;
        } else if (trimmed.front() == '[' && trimmed.size() >= 2 && trimmed.back() == ']') {
            line.kind = RegLineKind::BrokenKey;
            std::string_view path = trimmed.substr(1, trimmed.size() - 2);
            const bool deletes = !path.empty() && path.front() == '-';
            if (deletes) path.remove_prefix(1);
            if (!path.empty() && path.find_first_of("[]") == std::string_view::npos) {
                line.kind = deletes ? RegLineKind::KeyDelete : RegLineKind::KeyOpen;
                line.keyPath = std::string(path);
            }
        } else if (trimmed.front() == '"' || trimmed.front() == '@') {
            ParseValueLine(trimmed, physical, index, line);
        }
        file.lines.push_back(std::move(line));
    }
    file.status = headerSeen ? RegFileStatus::Parsed : RegFileStatus::Empty;
    if (!headerSeen) file.lines.clear();
    return file;
}

const RegFileLine* FindRegFileValue(const RegFile& file, std::string_view keyPath,
                                    std::string_view name)
{
    if (file.status != RegFileStatus::Parsed) return nullptr;
    const RegFileLine* found = nullptr;
    bool inKey = false;
    for (const RegFileLine& line : file.lines) {
        switch (line.kind) {
        case RegLineKind::KeyOpen: inKey = IsUserKey(line.keyPath, keyPath); break;
        case RegLineKind::KeyDelete:
            inKey = false;
            if (IsUserKeyOrAncestor(line.keyPath, keyPath)) found = nullptr;
            break;
        case RegLineKind::BrokenKey: inKey = false; break;
        case RegLineKind::Value:
            if (inKey && line.readable && EqualIgnoringCase(line.valueName, name)) {
                found = line.deletesValue ? nullptr : &line;
            }
            break;
        default: break;
        }
    }
    return found;
}

void SetRegFileValue(RegFile& file, std::string_view keyPath, std::string_view name, uint32_t type,
                     const uint8_t* data, size_t length)
{
    if (file.status != RegFileStatus::Parsed) {
        file.status = RegFileStatus::Parsed;
        file.lineEnding = "\r\n";
        file.lines.clear();
        file.lines.push_back(MakeLine(RegLineKind::Header, std::string(HeaderText)));
        file.lines.push_back(MakeLine(RegLineKind::Blank, ""));
    }

    // Only what follows the last deletion of the key counts.
    size_t start = 0;
    for (size_t i = 0; i < file.lines.size(); ++i) {
        if (file.lines[i].kind == RegLineKind::KeyDelete &&
            IsUserKeyOrAncestor(file.lines[i].keyPath, keyPath)) {
            start = i + 1;
        }
    }
    constexpr size_t None = static_cast<size_t>(-1);
    size_t lastMatch = None;
    size_t lastSection = None;
    size_t insertAt = None;  // after the last value of the last section of the key
    bool inKey = false;
    for (size_t i = start; i < file.lines.size(); ++i) {
        RegFileLine& line = file.lines[i];
        switch (line.kind) {
        case RegLineKind::KeyOpen:
            inKey = IsUserKey(line.keyPath, keyPath);
            if (inKey) {
                lastSection = i;
                insertAt = i + 1;
            }
            break;
        case RegLineKind::KeyDelete:
        case RegLineKind::BrokenKey: inKey = false; break;
        case RegLineKind::Value:
            if (!inKey) break;
            insertAt = i + 1;
            if (EqualIgnoringCase(line.valueName, name)) {
                if (lastMatch != None) file.lines[lastMatch].kind = RegLineKind::Removed;
                lastMatch = i;
            }
            break;
        default: break;
        }
    }

    RegFileLine value = MakeLine(RegLineKind::Value, FormatValueLine(name, type, data, length));
    value.valueName = std::string(name);
    value.readable = true;
    value.type = type;
    value.data.assign(data, data + length);

    if (lastMatch != None) {
        file.lines[lastMatch] = std::move(value);
    } else if (lastSection != None) {
        file.lines.insert(file.lines.begin() + static_cast<std::ptrdiff_t>(insertAt),
                          std::move(value));
    } else {
        if (!file.lines.empty() && file.lines.back().kind != RegLineKind::Blank) {
            file.lines.push_back(MakeLine(RegLineKind::Blank, ""));
        }
        RegFileLine key = MakeLine(RegLineKind::KeyOpen,
                                   "[" + std::string(UserRoot) + "\\" + std::string(keyPath) + "]");
        key.keyPath = std::string(UserRoot) + "\\" + std::string(keyPath);
        file.lines.push_back(std::move(key));
        file.lines.push_back(std::move(value));
        file.lines.push_back(MakeLine(RegLineKind::Blank, ""));
    }
}

std::string SerializeSettingsFile(const RegFile& file)
{
    std::string out;
    for (const RegFileLine& line : file.lines) {
        if (line.kind == RegLineKind::Removed) continue;
        for (char c : line.raw) {
            if (c == '\n') {
                out += file.lineEnding;
            } else {
                out += c;
            }
        }
        out += file.lineEnding;
    }
    return out;
}
