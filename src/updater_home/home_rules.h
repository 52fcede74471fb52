// The rules of the updater's home that need no system call: which folder
// is the home, where a keyed build keeps what earlier builds kept in the
// web stack folder, and the command line that starts the home's updater.
// Pure: tested natively.
#pragma once

#include <string>

// Whether `folder` (with or without a trailing separator) is the updater's
// home; paths compare without regard to letter case.
bool is_updater_home(const std::wstring& folder);

// The home's counterpart of a file that earlier builds kept in the web
// stack folder: the updater, wget.exe and the update's backups of the
// customer's logo and photo. Any other path comes back unchanged.
std::wstring home_counterpart(const std::wstring& xampp_path);

// The command line that starts the home's updater in update mode, the way
// a scheduled task names it: the program quoted, then exactly "/atualizar".
std::wstring home_updater_command_line();
