#include "hardening/protected_folder.h"

#include <windows.h>

#include <vector>

#include "hardening/protected_run_rules.h"
#include "hardening/unguessable_name.h"
#include "oplog/operator_log.h"
#include "services/secured_files.h"
#include "services/security_descriptors.h"
#include "services/system_error_text.h"

namespace {

// A name that exists already was not guessed but made by chance: another
// one is drawn, a few times.
constexpr int kNameAttempts = 4;

// Deletes now, or at the next restart when the name is in use.
bool remove_now_or_at_restart(const std::wstring& path, bool folder) {
    if (!folder) {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    if (folder ? RemoveDirectoryW(path.c_str()) : DeleteFileW(path.c_str())) {
        return true;
    }
    MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    return false;
}

// Everything in the folder was put there by this process: nobody else can
// write in it, so no name in it leads elsewhere.
std::vector<std::wstring> files_in(const std::wstring& folder) {
    std::vector<std::wstring> files;
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) {
        return files;
    }
    do {
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            files.push_back(folder + L"\\" + entry.cFileName);
        }
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return files;
}

}  // namespace

ProtectedFolder::ProtectedFolder() {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::wstring path = kProtectedFolderParent + protected_folder_name(unguessable_words());
        // Made with its security, never secured afterwards: there is no
        // moment when anyone else could put a file in it.
        if (create_folder_secured(path, kStagingFolderSddl)) {
            path_ = path;
            return;
        }
    }
    throw system_error(ERROR_ALREADY_EXISTS);
}

ProtectedFolder::~ProtectedFolder() {
    bool removed = true;
    for (const std::wstring& file : files_in(path_)) {
        removed = remove_now_or_at_restart(file, false) && removed;
    }
    removed = remove_now_or_at_restart(path_, true) && removed;
    if (!removed) {
        operator_log::write(L"pasta protegida em uso ao fim do processo, removida ao reiniciar: " + path_);
    }
}
