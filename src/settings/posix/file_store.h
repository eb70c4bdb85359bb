// The settings store of builds without the registry: one per-user text file in the registry's
// export format (settings/registry_file.h), replaced atomically on every save.
#pragma once

#include <string>

// $XDG_CONFIG_HOME/tavrel/settings.reg, or $HOME/.config/tavrel/settings.reg when that
// variable is unset, empty or not an absolute path. Empty when no home folder is known.
std::string SettingsFilePath();

// Says in one line what the store could not read or write, and what it did instead ("cannot
// read ...: the default settings are used"). A line is given once a run, though the settings are
// loaded and stored several times. Prints "tavrel: <line>" on stderr unless replaced.
extern void (*ReportSettingsFileProblem)(const char* line);

// Called once the new file is written and flushed, just before it replaces the old one;
// returning false abandons the save there, as a crash or a full disk would. Null in the saver.
extern bool (*BeforeSettingsFileRename)(const char* temporaryPath);
