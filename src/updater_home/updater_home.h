// The updater's home, C:\Program Files\Zunaveri\ (services/locations.h):
// in a build with a release key the updater and wget.exe live and run there,
// where only SYSTEM and Administrators can write, instead of the web stack
// folder that every user of the PC may change.
#pragma once

#include <string>

// Makes the home with its protected security from its creation on, or
// checks the one in place (ensure), or only checks it (check): it must be
// a folder, no reparse point, owned by SYSTEM, Administrators or this
// process's user. A home that is missing (check) or not the tool's own
// throws OperationError, and nothing in it is used.
void ensure_updater_home();
void check_updater_home();

// Where a keyed build places the updater, wget.exe and the update's
// backups (home_counterpart), the home made or checked first; a build
// without a release key places them in the web stack folder as always.
std::wstring placement_of(const std::wstring& xampp_path);

// Whether this program runs from the home.
bool runs_from_updater_home();
