#include "services/fetcher.h"

#include <windows.h>

#include "oplog/operator_log.h"
#include "services/command_line.h"
#include "services/fetched_copies.h"
#include "services/file_helpers.h"
#include "services/locations.h"
#include "services/process_runner.h"
#include "services/system_error_text.h"

void fetch_remote_file(const std::wstring& user, const std::wstring& password, const std::wstring& domain,
                       const FetchPlace& place, const std::wstring& arquivo) {
    const std::wstring tested_copy = fetched_copy(locations::temporary_copy(locations::kTempFolderLower, arquivo));
    const std::wstring deleted_copy = fetched_copy(locations::temporary_copy(locations::kTempFolderTitle, arquivo));

    const std::optional<std::uint64_t> length = present_file_length(tested_copy);
    if (length && *length != 0) {
        operator_log::fetch_reused(arquivo);
        return;
    }
    if (length) {
        delete_file(deleted_copy);
    }

    // The client inherits the variable: it reads that file and no other.
    if (!SetEnvironmentVariableW(L"WGETRC", place.startup_file.c_str())) {
        throw last_system_error();
    }
    const std::wstring command =
        fetched_copies_in_own_folder()
            ? fetch_command_line_into(place.client_folder, user, password, domain, arquivo, own_download_folder())
            : fetch_command_line(place.client_folder, user, password, domain, arquivo);
    const std::optional<std::uint32_t> exit_code = run_and_wait_for_exit(command, 0, false);
    operator_log::fetch_ran(arquivo, command, exit_code);
    if (exit_code && *exit_code != 0) {
        // Best effort: the transfer failed, and a copy that cannot be
        // removed will show itself at the step that uses it.
        DeleteFileW(deleted_copy.c_str());
    }
}
