// tavrel -add-to-xscreensaver: Tavrel's entry put into the programs: list of the user's
// ~/.xscreensaver (host/linux/xscreensaver_list.h edits the text). The file is replaced whole,
// by a new file in the same folder with the old one's permissions renamed over it, so that
// XScreenSaver (which rereads the file when it changes) never sees half of it.
#pragma once

#include <string>

struct AddToXScreenSaverReport {
    int status = 0;        // 0 added or listed already, 1 could not read or write, 2 refused
    std::string line;      // what was done or why not, one line without "tavrel: " or newline
    bool changed = false;  // the file was written
};

// Adds Tavrel's entry to the file at path (a missing file is made, holding just the programs:
// list). Refuses a symbolic link, anything but a plain file of this process's user, a file it
// cannot read or write, and one AddTavrelToPrograms cannot make sense of; then nothing changes.
AddToXScreenSaverReport AddTavrelToXScreenSaverFile(const std::string& path);

// The option itself for this process's user: ~/.xscreensaver ($HOME, else the password
// database's home), refused for root (XScreenSaver runs no display mode as root). Prints the
// report's line, on stdout when it did its work and on stderr when not; the exit status.
int RunAddToXScreenSaver();
