#include "hardening/protected_steps.h"

#include "hardening/protected_folder.h"
#include "hardening/protected_run_rules.h"
#include "hardening/unguessable_name.h"
#include "release/release_check.h"
#include "release/release_rules.h"
#include "services/file_helpers.h"
#include "services/process_runner.h"
#include "services/secured_files.h"
#include "services/security_descriptors.h"
#include "services/system_error_text.h"

namespace {

// The SHA-256 the manifest lists for a fetched file; the release check has
// passed it already, so a name missing here is refused all the same.
const Sha256Digest& listed_digest(const ReleaseManifest& manifest, const std::wstring& name) {
    const auto listed = manifest.files.find(std::string(name.begin(), name.end()));
    if (listed == manifest.files.end()) {
        refuse_release_file(ReleaseFault::NotListed, name);
    }
    return listed->second;
}

// Written beside the target under a name nobody can take first, with its
// security from the start, then moved over the target: the target is the
// old program or the new one, whole, and never anyone's to change.
void place_program(const HeldFile& copy, const std::wstring& target) {
    const std::wstring fresh = target + L"." + protected_folder_name(unguessable_words()) + L".novo";
    copy_into_new_file(copy.handle(), fresh, kPlacedProgramSddl);
    if (!MoveFileExW(fresh.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = GetLastError();
        DeleteFileW(fresh.c_str());
        throw system_error(error);
    }
}

}  // namespace

std::optional<std::uint32_t> run_from_protected_folder(const std::wstring& command_line,
                                                       const std::vector<HeldFile>& checked,
                                                       const ReleaseManifest& manifest) {
    const std::vector<std::wstring> names = fetched_files_used_by(command_line);
    if (names.size() != checked.size()) {
        refuse_release_file(ReleaseFault::Missing, names.empty() ? command_line : names.front());
    }
    ProtectedFolder folder;
    for (std::size_t i = 0; i < names.size(); ++i) {
        folder.add_checked_copy(names[i], checked[i], listed_digest(manifest, names[i]));
    }
    const std::wstring line_in_folder = command_in_folder(command_line, folder.path());
    // The import script, and the database client it starts, without administrator rights.
    if (runs_without_administrators(command_line)) {
        return run_in_folder_without_administrators_and_wait_for_exit(line_in_folder, folder.path());
    }
    return run_in_folder_and_wait_for_exit(line_in_folder, folder.path());
}

void copy_through_protected_folder(const std::wstring& source, const std::vector<HeldFile>& checked,
                                   const ReleaseManifest& manifest, const std::wstring& target) {
    const std::vector<std::wstring> names = fetched_files_used_by(source);
    if (names.size() != 1 || checked.size() != 1) {
        refuse_release_file(ReleaseFault::Missing, names.empty() ? source : names.front());
    }
    ProtectedFolder folder;
    const std::wstring& name = names.front();
    const HeldFile& copy = folder.add_checked_copy(name, checked.front(), listed_digest(manifest, name));
    if (is_placed_program(target)) {
        place_program(copy, target);
    } else {
        copy_file_replacing(folder.file(name), target);
    }
}
