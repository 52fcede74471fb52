#include "services/secured_files.h"

#include <aclapi.h>
#include <sddl.h>

#include <vector>

#include "services/system_error_text.h"

namespace {

constexpr DWORD kCopyChunkBytes = 1024 * 1024;

// A security descriptor from an SDDL text, freed when it goes.
class DescriptorFromText {
public:
    explicit DescriptorFromText(const wchar_t* sddl) {
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor_, nullptr)) {
            throw last_system_error();
        }
        attributes_.lpSecurityDescriptor = descriptor_;
    }
    ~DescriptorFromText() { LocalFree(descriptor_); }
    DescriptorFromText(const DescriptorFromText&) = delete;
    DescriptorFromText& operator=(const DescriptorFromText&) = delete;

    SECURITY_ATTRIBUTES* attributes() { return &attributes_; }
    PACL dacl() const {
        BOOL present = FALSE;
        BOOL defaulted = FALSE;
        PACL dacl = nullptr;
        if (!GetSecurityDescriptorDacl(descriptor_, &present, &dacl, &defaulted) || !present) {
            throw last_system_error_or(ERROR_INVALID_SECURITY_DESCR);
        }
        return dacl;
    }

private:
    PSECURITY_DESCRIPTOR descriptor_ = nullptr;
    SECURITY_ATTRIBUTES attributes_{sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
};

std::optional<std::wstring> sid_text(PSID sid) {
    LPWSTR text = nullptr;
    if (sid == nullptr || !ConvertSidToStringSidW(sid, &text)) {
        return std::nullopt;
    }
    std::wstring result(text);
    LocalFree(text);
    return result;
}

void write_all(HANDLE file, const unsigned char* data, DWORD size) {
    DWORD written = 0;
    if (!WriteFile(file, data, size, &written, nullptr) || written != size) {
        throw last_system_error_or(ERROR_WRITE_FAULT);
    }
}

}  // namespace

bool create_folder_secured(const std::wstring& path, const wchar_t* sddl) {
    DescriptorFromText security(sddl);
    if (CreateDirectoryW(path.c_str(), security.attributes())) {
        return true;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS) {
        return false;
    }
    throw system_error(error);
}

void apply_protected_dacl(const std::wstring& path, const wchar_t* sddl) {
    const DescriptorFromText security(sddl);
    std::vector<wchar_t> name(path.begin(), path.end());
    name.push_back(L'\0');
    const DWORD error = SetNamedSecurityInfoW(name.data(), SE_FILE_OBJECT,
                                              DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                              nullptr, nullptr, security.dacl(), nullptr);
    if (error != ERROR_SUCCESS) {
        throw system_error(error);
    }
}

bool is_reparse_point(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

std::optional<std::wstring> owner_sid_text(const std::wstring& path) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                              nullptr, &descriptor) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    std::optional<std::wstring> text = sid_text(owner);
    LocalFree(descriptor);
    return text;
}

std::optional<std::wstring> owner_and_dacl_text(HANDLE file) {
    const SECURITY_INFORMATION wanted = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(file, SE_FILE_OBJECT, wanted, nullptr, nullptr, nullptr, nullptr, &descriptor) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    LPWSTR text = nullptr;
    std::optional<std::wstring> result;
    if (ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1, wanted, &text, nullptr)) {
        result = text;
        LocalFree(text);
    }
    LocalFree(descriptor);
    return result;
}

std::wstring own_user_sid_text() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return std::wstring();
    }
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> buffer(size == 0 ? 1 : size);
    std::optional<std::wstring> text;
    if (GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) {
        text = sid_text(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid);
    }
    CloseHandle(token);
    return text.value_or(std::wstring());
}

HANDLE create_new_file_secured(const std::wstring& path, const wchar_t* sddl) {
    std::optional<DescriptorFromText> security;
    if (sddl != nullptr) {
        security.emplace(sddl);
    }
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, security ? security->attributes() : nullptr,
                              CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        throw last_system_error();
    }
    return file;
}

void copy_into_new_file(HANDLE source, const std::wstring& target, const wchar_t* sddl) {
    const LARGE_INTEGER start{};
    if (!SetFilePointerEx(source, start, nullptr, FILE_BEGIN)) {
        throw last_system_error();
    }
    HANDLE file = create_new_file_secured(target, sddl);
    try {
        std::vector<unsigned char> chunk(kCopyChunkBytes);
        for (;;) {
            DWORD read = 0;
            if (!ReadFile(source, chunk.data(), kCopyChunkBytes, &read, nullptr)) {
                throw last_system_error();
            }
            if (read == 0) {
                break;
            }
            write_all(file, chunk.data(), read);
        }
        if (!FlushFileBuffers(file)) {
            throw last_system_error();
        }
    } catch (...) {
        CloseHandle(file);
        DeleteFileW(target.c_str());
        throw;
    }
    CloseHandle(file);
}
