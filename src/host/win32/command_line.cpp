#include "host/win32/command_line.h"

namespace {

bool SwitchLetter(unsigned char letter, SaverMode& mode)
{
    switch (letter) {
    case 's':
    case 'S': mode = SaverMode::Saver; return true;
    case 'c':
    case 'C': mode = SaverMode::Config; return true;
    case 'a':
    case 'A': mode = SaverMode::ChangePassword; return true;
    case 'p':
    case 'P': mode = SaverMode::Preview; return true;
    default: return false;
    }
}

}  // namespace

CommandLineChoice ScanCommandLine(const char* commandLine)
{
    CommandLineChoice choice{SaverMode::Config, 0, 0};
    if (commandLine == nullptr) return choice;
    const unsigned char* text = reinterpret_cast<const unsigned char*>(commandLine);
    const unsigned char* p = text;
    while (*p != 0) ++p;

    // From the terminating zero back to the start, which is looked at too.
    for (;; --p) {
        if (*p == '\\') return choice;
        SaverMode mode{};
        if ((*p == '/' || *p == '-') && SwitchLetter(p[1], mode)) {
            choice.mode = mode;
            choice.previewFlag = mode == SaverMode::Preview ? 1 : 0;
            const unsigned char* number = p + 2;
            while (*number == ':' || *number == ' ' || *number == '"') ++number;
            if (*number != 0)
                choice.parentWindow = ParseDecimal(reinterpret_cast<const char*>(number));
            return choice;
        }
        if (p == text) return choice;
    }
}

uint32_t ParseDecimal(const char* text)
{
    uint32_t value = 0;
    if (text == nullptr) return value;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
         *p >= '0' && *p <= '9'; ++p) {
        value = value * 10u + static_cast<uint32_t>(*p - '0');
    }
    return value;
}

bool CutPathToFolder(char* path, uint32_t length, uint32_t capacity)
{
    if (path == nullptr || length == 0 || length >= capacity) return false;
    for (uint32_t i = length; i-- > 0;) {
        if (path[i] == '\\') {
            // "C:" alone names the drive's current folder, not its root: keep the root's backslash.
            const bool driveRoot = (i == 2 && path[1] == ':');
            path[driveRoot ? i + 1 : i] = 0;
            return true;
        }
    }
    return false;
}
