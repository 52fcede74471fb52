// The rules of running fetched programs from a protected folder that need
// no system call: the folder's name, the command line run from it, which
// copies are programs placed for good, and which runs need no
// administrator rights. Pure: tested natively.
#pragma once

#include <array>
#include <cstdint>
#include <string>

// Where the protected folders are made, each for one step.
inline const std::wstring kProtectedFolderParent = L"C:\\Windows\\Temp\\";

// A protected folder's name from random words: "zunaveri-" followed by
// their 32 lower-case hex digits, so nobody can make it before the tool.
std::wstring protected_folder_name(const std::array<std::uint32_t, 4>& random);

// The command line of a program fetched into the temporary folder, run
// from `folder` (no trailing separator) instead: only the program's folder
// changes, its name and its arguments stay as they were. A line whose
// program lies elsewhere comes back unchanged.
std::wstring command_in_folder(const std::wstring& command_line, const std::wstring& folder);

// Whether a copy's target is a program that stays on the PC and runs with
// administrator rights later: the updater and wget.exe in the web stack
// folder. Paths compare without regard to letter case.
bool is_placed_program(const std::wstring& target);

// Whether a command line runs without administrator rights: the web stack's
// stop and start programs, which lie in C:\xampp where any user may replace
// them, and the import script, which starts the database client from
// there. The checked web stack installer and application package keep
// their rights. Compared whole, without regard to letter case.
bool runs_without_administrators(const std::wstring& command_line);
