// How a build with a release key runs and copies the fetched files that a
// step uses, once the release check has passed and holds them: from the
// process's own folder (hardening/process_folder.h), where they were
// fetched and where nobody but an administrator can change them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "release/release_verifier.h"

// Runs `command_line` (a program named by its temporary-folder path, its
// copy in the process's folder checked and held by the caller) hidden from
// that folder, which is also its working folder, and waits for it. Tells
// how it ended, as run_and_wait_for_exit does.
std::optional<std::uint32_t> run_checked_program(const std::wstring& command_line);

// Copies the fetched file `source` (named by its temporary-folder path,
// its copy held in `checked`) to `target`. The updater and wget.exe are
// written with the placed-program security from their creation and then
// moved over the old copy whole. A failure throws.
void copy_checked_file(const std::wstring& source, const std::vector<HeldFile>& checked, const std::wstring& target);
