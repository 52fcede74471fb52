#include "services/token_without_administrators.h"

#include <vector>

#include "services/system_error_text.h"

namespace {

// S-1-5-32-544, S-1-5-18 and S-1-16-8192, each in a buffer of its own.
struct WellKnownSid {
    std::vector<unsigned char> bytes;
    explicit WellKnownSid(WELL_KNOWN_SID_TYPE type) : bytes(SECURITY_MAX_SID_SIZE) {
        DWORD size = static_cast<DWORD>(bytes.size());
        if (!CreateWellKnownSid(type, nullptr, bytes.data(), &size)) {
            throw last_system_error();
        }
    }
    PSID sid() { return bytes.data(); }
};

struct OwnHandle {
    HANDLE handle = nullptr;
    OwnHandle() = default;
    OwnHandle(const OwnHandle&) = delete;
    OwnHandle& operator=(const OwnHandle&) = delete;
    ~OwnHandle() {
        if (handle != nullptr) {
            CloseHandle(handle);
        }
    }
};

std::vector<unsigned char> token_user(HANDLE token) {
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> user(size);
    if (size == 0 || !GetTokenInformation(token, TokenUser, user.data(), size, &size)) {
        throw last_system_error();
    }
    return user;
}

void set_medium_integrity(HANDLE token) {
    WellKnownSid medium(WinMediumLabelSid);
    TOKEN_MANDATORY_LABEL label{};
    label.Label.Sid = medium.sid();
    label.Label.Attributes = SE_GROUP_INTEGRITY;
    if (!SetTokenInformation(token, TokenIntegrityLevel, &label,
                             static_cast<DWORD>(sizeof label + GetLengthSid(medium.sid())))) {
        throw last_system_error();
    }
}

// An elevated token hands what its processes make to Administrators and
// SYSTEM only; with Administrators for deny only the child could not open
// its own objects. It hands them to the user, SYSTEM and Administrators.
void set_default_dacl(HANDLE token) {
    std::vector<unsigned char> user = token_user(token);
    PSID user_sid = reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;
    WellKnownSid system(WinLocalSystemSid);
    WellKnownSid administrators(WinBuiltinAdministratorsSid);
    const DWORD ace_size = static_cast<DWORD>(sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD));
    const DWORD size = static_cast<DWORD>(sizeof(ACL)) + 3 * ace_size + GetLengthSid(user_sid) +
                       GetLengthSid(system.sid()) + GetLengthSid(administrators.sid());
    std::vector<DWORD> storage((size + sizeof(DWORD) - 1) / sizeof(DWORD));
    auto* acl = reinterpret_cast<PACL>(storage.data());
    if (!InitializeAcl(acl, size, ACL_REVISION) || !AddAccessAllowedAce(acl, ACL_REVISION, GENERIC_ALL, user_sid) ||
        !AddAccessAllowedAce(acl, ACL_REVISION, GENERIC_ALL, system.sid()) ||
        !AddAccessAllowedAce(acl, ACL_REVISION, GENERIC_ALL, administrators.sid())) {
        throw last_system_error();
    }
    TOKEN_DEFAULT_DACL dacl{acl};
    if (!SetTokenInformation(token, TokenDefaultDacl, &dacl, sizeof dacl)) {
        throw last_system_error();
    }
}

}  // namespace

TokenWithoutAdministrators::TokenWithoutAdministrators() {
    OwnHandle own;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY | TOKEN_ASSIGN_PRIMARY | TOKEN_ADJUST_DEFAULT,
                          &own.handle)) {
        throw last_system_error();
    }
    WellKnownSid administrators(WinBuiltinAdministratorsSid);
    SID_AND_ATTRIBUTES disabled{administrators.sid(), 0};
    // The new token has the access of `own`. Its default owner, Administrators
    // in an elevated token, becomes the user.
    if (!CreateRestrictedToken(own.handle, DISABLE_MAX_PRIVILEGE, 1, &disabled, 0, nullptr, 0, nullptr, &token_)) {
        throw last_system_error();
    }
    try {
        set_medium_integrity(token_);
        set_default_dacl(token_);
    } catch (...) {
        CloseHandle(token_);
        throw;
    }
}

TokenWithoutAdministrators::~TokenWithoutAdministrators() { CloseHandle(token_); }
