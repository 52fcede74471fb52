// Folders and files made with the security of services/security_descriptors.h,
// and what the tool looks at before it trusts a place: reparse points and
// owners. The thin Win32 edge of that pure file.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

// Creates the folder with the security of `sddl` from the start, so there
// is never a moment when it has another. False when something of that name
// exists already (the caller decides whether to trust it); any other
// failure throws the system's error.
bool create_folder_secured(const std::wstring& path, const wchar_t* sddl);

// Sets the DACL of `sddl` on an existing file or folder, protected from
// what its parent would hand down. A failure throws the system's error.
void apply_protected_dacl(const std::wstring& path, const wchar_t* sddl);

// Whether something of that name exists and is a reparse point (a junction,
// a mount point, a symbolic link): a name that leads elsewhere.
bool is_reparse_point(const std::wstring& path);

// The owner of a file or folder as a SID text ("S-1-5-32-544"); nothing
// when it cannot be read.
std::optional<std::wstring> owner_sid_text(const std::wstring& path);

// The owner and DACL of an open file as SDDL text ("O:BAD:P(A;;FA;;;SY)...");
// the handle needs READ_CONTROL. Nothing when they cannot be read.
std::optional<std::wstring> owner_and_dacl_text(HANDLE file);

// The user of this process as a SID text; empty when it cannot be read.
std::wstring own_user_sid_text();

// Creates the new file `path` for writing, alone, with the security of
// `sddl` from the start (nullptr: what its folder hands down); fails when
// `path` exists, so a file someone else made is never written into. A
// failure throws the system's error; the caller closes the handle.
HANDLE create_new_file_secured(const std::wstring& path, const wchar_t* sddl);

// Writes what `source` holds, from its start, into a new file `target`
// made with the security of `sddl` (nullptr: what its folder hands down);
// fails when `target` exists. The copy is flushed to disk; a copy that
// fails midway is removed and the system's error thrown.
void copy_into_new_file(HANDLE source, const std::wstring& target, const wchar_t* sddl);
