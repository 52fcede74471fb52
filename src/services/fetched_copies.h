// Where this process keeps the copies of the remote files it fetches. A
// build without a release key keeps them in the shared temporary folder, in
// the forms of services/locations.h each operation has always used. A build
// with one keeps them in a folder of the process's own that only SYSTEM and
// Administrators can write (hardening/process_folder.h), so that nothing an
// ordinary user leaves in the shared folder is read, reused or run.
//
// Every operation names a fetched copy by its temporary-folder path and
// passes it through fetched_copy(), which moves it into the process's folder
// when there is one. Pure: no system call; the folder is handed in.
#pragma once

#include <functional>
#include <string>

// Gives the process's own download folder (no trailing separator), making
// it on first use; a folder that cannot be made throws OperationError.
using DownloadFolderSource = std::function<std::wstring()>;

// From now on fetched copies live in the folder `source` gives. Set once,
// at start-up, before the first fetch.
void keep_fetched_copies_in(DownloadFolderSource source);

// Whether fetched copies live in a folder of the process's own.
bool fetched_copies_in_own_folder();

// The process's own download folder; throws OperationError when there is
// none, or it cannot be made.
std::wstring own_download_folder();

// A path or command line that begins in the temporary folder (either
// form), moved into the process's own folder; anything else, or anything
// at all when there is no such folder, comes back unchanged.
std::wstring fetched_copy(const std::wstring& path_or_command_line);

// The same move into a given folder (no trailing separator): only the
// leading temporary-folder path changes; names and arguments stay.
std::wstring moved_to_folder(const std::wstring& path_or_command_line, const std::wstring& folder);
