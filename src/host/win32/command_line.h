// The mode switch on the command line Windows starts a saver with ("/s", "/p 1234", ...), and
// the text handling of the process start. Text only, so that it is tested and fuzzed on Linux.
#pragma once

#include <cstdint>

#include "host/saver_mode.h"

struct CommandLineChoice {
    SaverMode mode;
    uint32_t previewFlag;   // 1 for Preview
    uint32_t parentWindow;  // the number after the switch, 0 when there is none
};

// Scans the whole command line from its end back to the last backslash for '/' or '-' and one
// of s, c, a, p in either case; the switch nearest the end wins. Without a switch (or for a
// null text): Config with no parent window.
CommandLineChoice ScanCommandLine(const char* commandLine);

// The decimal digits at the start of text, modulo 2^32; 0 when there are none.
uint32_t ParseDecimal(const char* text);

// Cuts a full path of length characters in its buffer of capacity bytes down to its folder:
// the zero goes in place of the last backslash ("C:\Saver\tavrel.scr" gives "C:\Saver"), but
// a drive's root keeps its backslash ("C:\tavrel.scr" gives "C:\"), since "C:" alone names
// the drive's current folder. False, and the buffer untouched, when length does not fit the
// buffer or no backslash lies in it.
bool CutPathToFolder(char* path, uint32_t length, uint32_t capacity);
