// Small file operations shared by the fetcher, the sweep and the steps:
// the presence test, delete, and the tool's own folder.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "services/operation_error.h"

// The file's length when the presence test finds it: a directory lookup
// that counts plain, archive and read-only files, while hidden and system
// files and folders count as absent. Nothing when absent. A lookup that
// fails for another reason than a missing file or folder throws.
std::optional<std::uint64_t> present_file_length(const std::wstring& path);

bool file_present(const std::wstring& path);

// Deletes one file; a failure throws the system's error.
void delete_file(const std::wstring& path);

// Deletes whatever file bears the name, hidden, system and read-only ones
// included (its attributes are cleared first); false when there is none.
// A name that cannot be cleared (in use, a folder, access denied) throws
// the system's error.
bool delete_file_of_any_attributes(const std::wstring& path);

// The files beside `path` whose names are its name followed by "." and a
// number ("manifesto_zunaveri.txt.1"): where wget saves a download whose
// name is taken. Every attribute counts.
std::vector<std::wstring> numbered_copies(const std::wstring& path);

// Folder of the running executable, without a trailing separator.
std::wstring tool_folder();

// Copies a file, replacing the target when it exists; a failure throws the
// system's error. A source or target in c:\xampp is reached without
// following a link and refused when it has more than one hard link
// (services/link_free_path.h).
void copy_file_replacing(const std::wstring& source, const std::wstring& target);

// The text in the system's ANSI code page, as the tool writes its text files.
std::string ansi_bytes(const std::wstring& text);

// Text read from a file in the system's ANSI code page.
std::wstring text_from_ansi(const std::string& bytes);

// The file's last-modification time in local time, in 100-nanosecond units
// since 1601, to the whole second; a missing file throws the system's error.
std::int64_t local_modification_time(const std::wstring& path);
