#include "hardening/protected_folder.h"

#include "hardening/protected_run_rules.h"
#include "hardening/unguessable_name.h"
#include "oplog/operator_log.h"
#include "release/release_check.h"
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
    held_.clear();
    bool removed = true;
    for (const std::wstring& copy : copies_) {
        removed = remove_now_or_at_restart(copy, false) && removed;
    }
    removed = remove_now_or_at_restart(path_, true) && removed;
    if (!removed) {
        operator_log::write(L"pasta protegida em uso ao fim da etapa, removida ao reiniciar: " + path_);
    }
}

const HeldFile& ProtectedFolder::add_checked_copy(const std::wstring& name, const HeldFile& source,
                                                  const Sha256Digest& listed) {
    const std::wstring copy = file(name);
    // A new file: it takes the folder's list.
    copy_into_new_file(source.handle(), copy, nullptr);
    copies_.push_back(copy);
    HeldFile hold;
    if (sha256_of_file(copy, hold) != listed) {
        refuse_release_file(ReleaseFault::Differs, name, L"cópia na pasta protegida");
    }
    held_.push_back(std::move(hold));
    return held_.back();
}
