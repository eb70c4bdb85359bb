// The settings store of builds without the registry: one per-user text file in the registry's
// export format (settings/registry_file.h), replaced atomically on every save.
#pragma once

#include <string>

// $XDG_CONFIG_HOME/tavrel/settings.reg, or $HOME/.config/tavrel/settings.reg when that
// variable is unset, empty or not an absolute path. Empty when no home folder is known.
std::string SettingsFilePath();

// What the store cannot read or write, and what it does instead ("cannot read ...: the default
// settings are used"), it says on stderr as one line "tavrel: <line>". A line is given once a
// run, though the settings are loaded and stored several times.
