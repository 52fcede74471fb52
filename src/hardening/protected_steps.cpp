#include "hardening/protected_steps.h"

#include "hardening/process_folder.h"
#include "hardening/protected_run_rules.h"
#include "hardening/unguessable_name.h"
#include "release/release_check.h"
#include "release/release_rules.h"
#include "services/fetched_copies.h"
#include "services/file_helpers.h"
#include "services/process_runner.h"
#include "services/secured_files.h"
#include "services/security_descriptors.h"
#include "services/system_error_text.h"

namespace {

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

std::optional<std::uint32_t> run_checked_program(const std::wstring& command_line) {
    const std::wstring folder = own_download_folder();
    const std::wstring line_in_folder = moved_to_folder(command_line, folder);
    // The import script, and the database client it starts, without administrator rights.
    if (runs_without_administrators(command_line)) {
        return run_in_folder_without_administrators_and_wait_for_exit(line_in_folder, folder);
    }
    return run_in_folder_and_wait_for_exit(line_in_folder, folder);
}

void copy_checked_file(const std::wstring& source, const std::vector<HeldFile>& checked, const std::wstring& target) {
    const std::vector<std::wstring> names = fetched_files_used_by(source);
    if (names.size() != 1 || checked.size() != 1) {
        refuse_release_file(ReleaseFault::Missing, names.empty() ? source : names.front());
    }
    if (is_placed_program(target)) {
        place_program(checked.front(), target);
    } else {
        copy_file_replacing(fetched_copy(source), target);
    }
}
