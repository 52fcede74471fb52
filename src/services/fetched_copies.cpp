#include "services/fetched_copies.h"

#include <algorithm>

#include "services/locations.h"
#include "services/operation_error.h"

namespace {

// ERROR_PATH_NOT_FOUND: asked for a folder this process does not keep.
constexpr std::uint32_t kNoOwnFolder = 3;

DownloadFolderSource& source() {
    static DownloadFolderSource the_source;
    return the_source;
}

wchar_t folded(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

bool starts_in_temporary_folder(const std::wstring& text) {
    const std::wstring& folder = locations::kTempFolderLower;
    return text.size() >= folder.size() && std::equal(folder.begin(), folder.end(), text.begin(), [](wchar_t a, wchar_t b) {
               return folded(a) == folded(b);
           });
}

}  // namespace

void keep_fetched_copies_in(DownloadFolderSource folder_source) { source() = std::move(folder_source); }

bool fetched_copies_in_own_folder() { return static_cast<bool>(source()); }

std::wstring own_download_folder() {
    if (!source()) {
        throw OperationError(kNoOwnFolder, L"este processo não tem pasta própria de downloads");
    }
    return source()();
}

std::wstring moved_to_folder(const std::wstring& path_or_command_line, const std::wstring& folder) {
    // Every form of the temporary folder is the same folder.
    if (!starts_in_temporary_folder(path_or_command_line)) {
        return path_or_command_line;
    }
    return folder + L"\\" + path_or_command_line.substr(locations::kTempFolderLower.size());
}

std::wstring fetched_copy(const std::wstring& path_or_command_line) {
    if (!source() || !starts_in_temporary_folder(path_or_command_line)) {
        return path_or_command_line;
    }
    return moved_to_folder(path_or_command_line, own_download_folder());
}
