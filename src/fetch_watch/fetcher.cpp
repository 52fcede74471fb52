#include "fetch_watch/fetcher.h"

#include <windows.h>

#include "fetch_watch/fetch_stop_texts.h"
#include "fetch_watch/watched_fetch.h"
#include "oplog/operator_log.h"
#include "oplog/operator_log_texts.h"
#include "services/command_line.h"
#include "services/fetched_copies.h"
#include "services/file_helpers.h"
#include "services/locations.h"
#include "services/system_error_text.h"

namespace {

// ERROR_CANCELLED and ERROR_DISK_FULL as the numbers of a stop and of a refusal for space.
constexpr std::uint32_t kFetchStopped = 0x800704C7u;
constexpr std::uint32_t kTooLittleFree = 0x80070070u;

// The target folder's volume as the refusal names it ("C:").
std::wstring volume_of(const std::wstring& folder) {
    return folder.size() >= 2 && folder[1] == L':' ? folder.substr(0, 2) : folder;
}

void refuse_when_too_little_free(const std::wstring& arquivo, const std::wstring& folder, std::uint64_t length) {
    ULARGE_INTEGER free_bytes{};
    if (!GetDiskFreeSpaceExW(folder.c_str(), &free_bytes, nullptr, nullptr)) {
        throw last_system_error();
    }
    if (leaves_too_little_free(free_bytes.QuadPart, length)) {
        throw OperationError(kTooLittleFree, free_space_refusal(arquivo, volume_of(folder), free_bytes.QuadPart, length));
    }
}

// What a stopped client left: the copy and any numbered sibling it made.
void remove_stopped_copy(const std::wstring& copy) {
    try {
        for (const std::wstring& numbered : numbered_copies(copy)) {
            delete_file_of_any_attributes(numbered);
        }
        delete_file_of_any_attributes(copy);
    } catch (const OperationError&) {  // NOLINT(bugprone-empty-catch): the stop is the error to report
        // A copy that stays is refused by the release check that uses it.
    }
}

}  // namespace

void fetch_remote_file(const std::wstring& user, const std::wstring& password, const std::wstring& domain,
                       const FetchPlace& place, const std::wstring& arquivo, const FetchLimits& limits) {
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

    const bool own_folder = fetched_copies_in_own_folder();
    const std::wstring target_folder = own_folder ? own_download_folder() : locations::kTempFolderTitle;
    std::optional<FetchBounds> bounds;
    if (limits.bounded) {
        bounds = plan_fetch(arquivo, limits.signed_length).bounds;
        if (!bounds) {
            throw OperationError(kFetchStopped, unsigned_length_refusal(arquivo));
        }
        if (bounds->signed_length) {
            refuse_when_too_little_free(arquivo, target_folder, bounds->most_bytes);
        }
    }

    // The client inherits the variable: it reads that file and no other.
    if (!SetEnvironmentVariableW(L"WGETRC", place.startup_file.c_str())) {
        throw last_system_error();
    }
    const std::wstring command =
        own_folder ? fetch_command_line_into(place.client_folder, user, password, domain, arquivo, target_folder)
                   : fetch_command_line(place.client_folder, user, password, domain, arquivo);
    const WatchedFetch ran = run_watched_fetch(command, deleted_copy, bounds);
    if (ran.stop) {
        remove_stopped_copy(deleted_copy);
        const std::wstring description = fetch_stop_description(arquivo, *ran.stop, *bounds);
        operator_log::write(description + L"; recebidos " +
                            operator_log::fetch_figures_text({ran.bytes, ran.seconds}));
        throw OperationError(kFetchStopped, description);
    }
    operator_log::fetch_ran(arquivo, command, ran.exit_code, ran.bytes, ran.seconds);
    if (ran.exit_code && *ran.exit_code != 0) {
        // Best effort: the transfer failed, and a copy that cannot be
        // removed will show itself at the step that uses it.
        DeleteFileW(deleted_copy.c_str());
    }
}
