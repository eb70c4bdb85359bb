#include "host/linux/xscreensaver_list.h"

#include <cstddef>
#include <vector>

#include "support/ascii.h"

namespace {

// One line of the file: its text without the newline, and where it ends in the file.
struct Line {
    std::string_view text;
    size_t end = 0;  // offset of its newline, or of the end of the file
};

std::vector<Line> SplitLines(std::string_view file)
{
    std::vector<Line> lines;
    size_t start = 0;
    while (start < file.size()) {
        const size_t newline = file.find('\n', start);
        const size_t end = newline == std::string_view::npos ? file.size() : newline;
        lines.push_back({file.substr(start, end - start), end});
        start = end + 1;
    }
    return lines;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

std::string_view Trimmed(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

// XScreenSaver continues a line that ends in a backslash, whatever stands before it.
bool Continues(std::string_view line)
{
    return !line.empty() && line.back() == '\\';
}

bool EndsWith(std::string_view text, std::string_view end)
{
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

bool IsLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsIdentifier(std::string_view word)
{
    if (word.empty() || !IsLetter(word.front())) return false;
    for (const char c : word) {
        if (!IsLetter(c) && !(c >= '0' && c <= '9') && c != '_' && c != '-') return false;
    }
    return true;
}

// The keys XScreenSaver 6 reads from ~/.xscreensaver.
constexpr std::string_view KnownKeys[] = {"timeout",
                                          "cycle",
                                          "lock",
                                          "lockVTs",
                                          "lockTimeout",
                                          "passwdTimeout",
                                          "visualID",
                                          "installColormap",
                                          "verbose",
                                          "splash",
                                          "splashDuration",
                                          "quad",
                                          "demoCommand",
                                          "prefsCommand",
                                          "newLoginCommand",
                                          "helpURL",
                                          "loadURL",
                                          "nice",
                                          "memoryLimit",
                                          "fade",
                                          "unfade",
                                          "fadeSeconds",
                                          "fadeTicks",
                                          "captureStdout",
                                          "overlayStderr",
                                          "logFile",
                                          "ignoreUninstalledPrograms",
                                          "font",
                                          "dpmsEnabled",
                                          "dpmsQuickOff",
                                          "dpmsStandby",
                                          "dpmsSuspend",
                                          "dpmsOff",
                                          "grabDesktopImages",
                                          "grabVideoFrames",
                                          "chooseRandomImages",
                                          "imageDirectory",
                                          "mode",
                                          "selected",
                                          "textMode",
                                          "textLiteral",
                                          "textFile",
                                          "textProgram",
                                          "textURL",
                                          "dialogTheme",
                                          "programs",
                                          "pointerHysteresis",
                                          "bourneShell",
                                          "authWarningSlack"};

bool IsKnownKey(std::string_view key)
{
    for (const std::string_view known : KnownKeys) {
        if (EqualIgnoringCase(key, known)) return true;
    }
    return false;
}

// A logical line: physical lines first to last, joined by their line continuations.
struct LogicalLine {
    size_t first = 0;
    size_t last = 0;
};

bool IsComment(std::string_view firstLine)
{
    const std::string_view text = Trimmed(firstLine);
    return text.empty() || text.front() == '#' || text.front() == '!' || text.front() == ';';
}

// The key of a "key: value" line, or empty when there is no colon.
std::string_view KeyOf(std::string_view firstLine)
{
    const size_t colon = firstLine.find(':');
    return colon == std::string_view::npos ? std::string_view()
                                           : Trimmed(firstLine.substr(0, colon));
}

// Whether a line after the programs: list is one of its entries, cut off from it: no
// "key:" at all, a key no setting has (a quoted name, a '-'), or an unknown key on a line that
// ends as entries do ("GL: gears -root \n\").
bool LooksLikeEntry(std::string_view firstLine)
{
    const size_t colon = firstLine.find(':');
    if (colon == std::string_view::npos) return true;
    const std::string_view key = Trimmed(firstLine.substr(0, colon));
    if (!IsIdentifier(key)) return true;
    const std::string_view end = Trimmed(firstLine);
    return !IsKnownKey(key) && (EndsWith(end, "\\n") || EndsWith(end, "\\n\\"));
}

// The programs: value as XScreenSaver reads it: continuations joined, "\n" a newline, any other
// backslash escaping the character after it.
std::string ProgramsValue(const std::vector<Line>& lines, const LogicalLine& entry)
{
    std::string joined;
    for (size_t i = entry.first; i <= entry.last; ++i) {
        std::string_view text = lines[i].text;
        if (i == entry.first) text.remove_prefix(text.find(':') + 1);
        if (i < entry.last) text.remove_suffix(1);  // the continuation
        joined += text;
    }
    std::string value;
    for (size_t i = 0; i < joined.size(); ++i) {
        if (joined[i] == '\\' && i + 1 < joined.size()) {
            value += joined[i + 1] == 'n' ? '\n' : joined[i + 1];
            ++i;
        } else {
            value += joined[i];
        }
    }
    return value;
}

// An entry whose program is tavrel (any folder); disabled when marked '-'.
bool ListsTavrel(const std::string& value, bool& disabled)
{
    size_t start = 0;
    while (start <= value.size()) {
        size_t end = value.find('\n', start);
        if (end == std::string::npos) end = value.size();
        std::string_view entry = Trimmed(std::string_view(value).substr(start, end - start));
        start = end + 1;
        const bool off = !entry.empty() && entry.front() == '-';
        if (off) entry = Trimmed(entry.substr(1));
        // "visual:" before a name or the command.
        const size_t colon = entry.find(':');
        const size_t stop = entry.find_first_of("\" \t");
        if (colon != std::string_view::npos && (stop == std::string_view::npos || colon < stop)) {
            entry = Trimmed(entry.substr(colon + 1));
        }
        if (!entry.empty() && entry.front() == '"') {
            const size_t close = entry.find('"', 1);
            entry = close == std::string_view::npos ? std::string_view()
                                                    : Trimmed(entry.substr(close + 1));
        }
        const std::string_view program = entry.substr(0, entry.find_first_of(" \t"));
        const size_t slash = program.rfind('/');
        const std::string_view name =
            slash == std::string_view::npos ? program : program.substr(slash + 1);
        if (name == "tavrel") {
            disabled = off;
            return true;
        }
    }
    return false;
}

std::string LineNumber(size_t index)
{
    return std::to_string(index + 1);
}

ProgramsEditResult Unparseable(std::string reason)
{
    ProgramsEditResult result;
    result.outcome = ProgramsEdit::Unparseable;
    result.reason = std::move(reason);
    return result;
}

}  // namespace

std::string NewXScreenSaverFile()
{
    return "programs:  \\\n" + std::string(TavrelProgramsEntry) + "\n";
}

ProgramsEditResult AddTavrelToPrograms(std::string_view file)
{
    if (file.find('\0') != std::string_view::npos) {
        return Unparseable("it holds NUL bytes, so it is no text file");
    }
    const std::vector<Line> lines = SplitLines(file);
    std::vector<LogicalLine> entries;
    for (size_t i = 0; i < lines.size(); ++i) {
        LogicalLine entry{i, i};
        while (Continues(lines[entry.last].text) && entry.last + 1 < lines.size()) ++entry.last;
        entries.push_back(entry);
        i = entry.last;
    }

    // The one programs: list.
    size_t list = entries.size();
    for (size_t e = 0; e < entries.size(); ++e) {
        const std::string_view first = lines[entries[e].first].text;
        if (IsComment(first) || !EqualIgnoringCase(KeyOf(first), "programs")) continue;
        if (list != entries.size()) {
            return Unparseable("it holds two programs: lists (lines " +
                               LineNumber(entries[list].first) + " and " +
                               LineNumber(entries[e].first) + ")");
        }
        list = e;
    }

    ProgramsEditResult result;
    if (list == entries.size()) {
        // None: the whole list at the end, after a newline the last line may lack.
        result.outcome = ProgramsEdit::Added;
        result.text = std::string(file);
        if (!result.text.empty() && result.text.back() != '\n') result.text += '\n';
        result.text += NewXScreenSaverFile();
        return result;
    }

    const LogicalLine& programs = entries[list];
    const Line& last = lines[programs.last];
    if (Continues(last.text)) {
        return Unparseable("its programs: list (line " + LineNumber(programs.first) +
                           ") ends at the end of the file inside a line continuation");
    }
    for (size_t e = list + 1; e < entries.size(); ++e) {
        const std::string_view first = lines[entries[e].first].text;
        if (IsComment(first)) continue;
        if (LooksLikeEntry(first)) {
            return Unparseable("its programs: list (line " + LineNumber(programs.first) +
                               ") ends at line " + LineNumber(programs.last) +
                               " without its line continuation, before more display modes at "
                               "line " +
                               LineNumber(entries[e].first));
        }
        break;
    }

    if (ListsTavrel(ProgramsValue(lines, programs), result.disabled)) {
        result.outcome = ProgramsEdit::AlreadyListed;
        return result;
    }

    // Inserted at the end of the list's last line: that line gains the continuation (and the
    // "\n" that ends an entry, when its entry lacks one), and Tavrel's entry follows it.
    std::string_view content = last.text;
    if (programs.last == programs.first) content.remove_prefix(content.find(':') + 1);
    const std::string_view entry = Trimmed(content);
    std::string insert;
    if (entry.empty()) {
        insert = programs.last == programs.first ? "  \\\n" + std::string(TavrelProgramsEntry)
                                                 : std::string(TavrelProgramsEntry);
    } else if (EndsWith(entry, "\\n")) {
        insert = "\\\n" + std::string(TavrelProgramsEntry);
    } else {
        insert = " \\n\\\n" + std::string(TavrelProgramsEntry);
    }
    result.outcome = ProgramsEdit::Added;
    result.text =
        std::string(file.substr(0, last.end)) + insert + std::string(file.substr(last.end));
    return result;
}
