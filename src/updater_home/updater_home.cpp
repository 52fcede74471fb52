#include "updater_home/updater_home.h"

#include <windows.h>

#include <optional>

#include "release/release_check.h"
#include "services/file_helpers.h"
#include "services/locations.h"
#include "services/secured_files.h"
#include "services/security_descriptors.h"
#include "updater_home/home_rules.h"

using namespace locations;

namespace {

// ERROR_BAD_PATHNAME: the home's name leads to something that is not the tool's own.
constexpr std::uint32_t kNotOurHome = 161;

std::wstring home_folder() { return kUpdaterHome.substr(0, kUpdaterHome.size() - 1); }

[[noreturn]] void refuse(const std::wstring& why) {
    throw OperationError(kNotOurHome, L"a pasta " + home_folder() + L" " + why + L": nada nela foi usado");
}

void check(const std::wstring& folder) {
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        refuse(L"não existe");
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        refuse(L"não é uma pasta");
    }
    if (is_reparse_point(folder)) {
        refuse(L"é um link ou junção");
    }
    const std::optional<std::wstring> owner = owner_sid_text(folder);
    if (!owner || !owner_is_trusted(*owner, own_user_sid_text())) {
        refuse(L"pertence a outro usuário");
    }
}

}  // namespace

void ensure_updater_home() {
    const std::wstring folder = home_folder();
    // Made with its security, never secured afterwards: there is no moment
    // when anyone else could put a file in it.
    if (!create_folder_secured(folder, kUpdaterHomeSddl)) {
        check(folder);
    }
}

void check_updater_home() { check(home_folder()); }

std::wstring placement_of(const std::wstring& xampp_path) {
    std::wstring placed = home_counterpart(xampp_path);
    if (!signed_releases_enabled() || placed == xampp_path) {
        return xampp_path;
    }
    ensure_updater_home();
    return placed;
}

bool runs_from_updater_home() { return is_updater_home(tool_folder()); }
