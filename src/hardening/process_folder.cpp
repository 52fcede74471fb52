#include "hardening/process_folder.h"

#include <windows.h>

#include <memory>

#include "hardening/protected_folder.h"
#include "services/secured_files.h"

namespace {

constexpr wchar_t kWgetStartupFileName[] = L"wgetrc";

std::unique_ptr<ProtectedFolder>& the_folder() {
    static std::unique_ptr<ProtectedFolder> folder;
    return folder;
}

}  // namespace

std::wstring process_folder() {
    std::unique_ptr<ProtectedFolder>& folder = the_folder();
    if (!folder) {
        folder = std::make_unique<ProtectedFolder>();
    }
    return folder->path();
}

std::wstring empty_wget_startup_file() {
    std::wstring path = process_folder() + L"\\" + kWgetStartupFileName;
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        // Takes the folder's list: only SYSTEM and Administrators may write it.
        CloseHandle(create_new_file_secured(path, nullptr));
    }
    return path;
}

void remove_process_folder() noexcept {
    try {
        the_folder().reset();
    } catch (...) {  // NOLINT(bugprone-empty-catch): what is left goes at the next restart
    }
}
