#include "services/fetcher.h"

#include <windows.h>

#include "oplog/operator_log.h"
#include "services/command_line.h"
#include "services/file_helpers.h"
#include "services/locations.h"
#include "services/process_runner.h"

void fetch_remote_file(const std::wstring& user, const std::wstring& password, const std::wstring& domain,
                       const std::wstring& folder_of_client, const std::wstring& arquivo) {
    const std::wstring tested_copy = locations::temporary_copy(locations::kTempFolderLower, arquivo);
    const std::wstring deleted_copy = locations::temporary_copy(locations::kTempFolderTitle, arquivo);

    const std::optional<std::uint64_t> length = present_file_length(tested_copy);
    if (length && *length != 0) {
        operator_log::fetch_reused(arquivo);
        return;
    }
    if (length) {
        delete_file(deleted_copy);
    }

    const std::wstring command = fetch_command_line(folder_of_client, user, password, domain, arquivo);
    const std::optional<std::uint32_t> exit_code = run_and_wait_for_exit(command, 0, false);
    operator_log::fetch_ran(arquivo, command, exit_code);
    if (exit_code && *exit_code != 0) {
        // Best effort: the transfer failed, and a copy that cannot be
        // removed will show itself at the step that uses it.
        DeleteFileW(deleted_copy.c_str());
    }
}
