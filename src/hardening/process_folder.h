// The process's own folder: a ProtectedFolder made on first use and kept
// until the process ends. In every build it holds wget's empty start-up
// file; in a build with a release key, every fetched copy too
// (services/fetched_copies.h), and fetched programs run from it.
#pragma once

#include <string>

// The folder (no trailing separator), made on first use; a folder that
// cannot be made throws OperationError.
std::wstring process_folder();

// An empty file in the process's folder, made when missing: the start-up
// file wget.exe is told to read instead of any an ordinary user could
// plant (WGETRC). A failure throws OperationError.
std::wstring empty_wget_startup_file();

// Removes the folder and what it holds, at the end of the process; what is
// in use goes at the next restart. Never throws.
void remove_process_folder() noexcept;
