// How a build with a release key runs and copies the fetched files that a
// step uses, once the release check has passed and holds them: from checked
// copies in a ProtectedFolder, removed when the step ends.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "release/release_manifest.h"
#include "release/release_verifier.h"

// Runs `command_line` (a program in the temporary folder) hidden and waits
// for it, from copies of the files it uses (`checked`, in the order of
// fetched_files_used_by) in a protected folder that is also its working
// folder. Tells how it ended, as run_and_wait_for_exit does; a folder or a
// copy that cannot be made throws, and nothing runs.
std::optional<std::uint32_t> run_from_protected_folder(const std::wstring& command_line,
                                                       const std::vector<HeldFile>& checked,
                                                       const ReleaseManifest& manifest);

// Copies the fetched file `source` (held in `checked`) to `target` from a
// checked copy in a protected folder. The updater and wget.exe of the web
// stack folder are written with the placed-program security from their
// creation and then moved over the old copy whole. A failure throws.
void copy_through_protected_folder(const std::wstring& source, const std::vector<HeldFile>& checked,
                                   const ReleaseManifest& manifest, const std::wstring& target);
