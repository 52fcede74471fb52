// The rules of the protected folders that need no system call: the
// folder's name, and which copies are programs placed for good. Pure: tested natively.
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
// home (or, placed by earlier builds, in the web stack folder). Paths compare without regard to letter case.
bool is_placed_program(const std::wstring& target);
