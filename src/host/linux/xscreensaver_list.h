// Tavrel's line in XScreenSaver's list of display modes, the programs: list of ~/.xscreensaver.
// The edit is made on the file's text, so that a table of cases can drive it; the file itself
// is read and replaced by host/linux/add_to_xscreensaver.h.
//
// The file is read as XScreenSaver reads it: "key: value" lines, a line ending in a backslash
// continued by the next, # ! ; starting comments; the programs: value is one entry per "\n",
// each "[-][visual:] ["Name"] command" ('-' for a mode that is not chosen at random).
#pragma once

#include <string>
#include <string_view>

// The entry as README and the manual page give it, without its line continuation.
inline constexpr std::string_view TavrelProgramsEntry = "  \"Tavrel\"  tavrel --root  \\n";

enum class ProgramsEdit {
    Added,          // text is the file with Tavrel's entry added
    AlreadyListed,  // an entry runs a program named tavrel already; nothing to change
    Unparseable,    // reason says what cannot be made sense of; leave the file as it is
};

struct ProgramsEditResult {
    ProgramsEdit outcome = ProgramsEdit::Unparseable;
    std::string text;       // Added: the new contents
    std::string reason;     // Unparseable: one phrase ("the programs: list ends at line 4 ...")
    bool disabled = false;  // AlreadyListed: that entry is marked '-'
};

// The contents of ~/.xscreensaver with Tavrel's entry added at the end of its programs: list
// (so that the numbers of the modes listed before, which "selected:" counts, stay), by
// inserting bytes only: every byte of the file stays as it was. A file without a programs: list
// gets one, holding Tavrel, at its end (XScreenSaver adds its own modes after it).
ProgramsEditResult AddTavrelToPrograms(std::string_view file);

// The whole ~/.xscreensaver of a user who has none: the programs: list with Tavrel alone.
// XScreenSaver takes everything else from its defaults and lists its own display modes after
// Tavrel.
std::string NewXScreenSaverFile();
