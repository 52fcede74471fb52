// The rules of the protected folders and the runs from them that need no
// system call: the folder's name, which copies are programs placed for
// good, and which runs need no administrator rights. Pure: tested natively.
#pragma once

#include <array>
#include <cstdint>
#include <string>

// Where the protected folders are made: one for each process.
inline const std::wstring kProtectedFolderParent = L"C:\\Windows\\Temp\\";

// A protected folder's name from random words: "zunaveri-" followed by
// their 32 lower-case hex digits, so nobody can make it before the tool.
std::wstring protected_folder_name(const std::array<std::uint32_t, 4>& random);

// Whether a copy's target is a program that stays on the PC and runs with
// administrator rights later: the updater and wget.exe in the updater's
// home (or, placed by earlier builds, in the web stack folder). Paths
// compare without regard to letter case.
bool is_placed_program(const std::wstring& target);

// Whether a command line runs without administrator rights: the web stack's
// stop and start programs, which lie in C:\xampp where any user may replace
// them, and the import script, which starts the database client from
// there. The checked web stack installer and application package keep
// their rights. Compared whole, without regard to letter case.
bool runs_without_administrators(const std::wstring& command_line);
