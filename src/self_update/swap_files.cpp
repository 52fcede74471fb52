#include "self_update/swap_files.h"

#include <windows.h>

#include <algorithm>

#include "release/release_verifier.h"
#include "services/secured_files.h"
#include "services/security_descriptors.h"
#include "services/system_error_text.h"

namespace {

constexpr DWORD kChunkBytes = 64 * 1024;
// A virus scanner that opened a fresh file lets go of it within moments.
constexpr int kRenameTries = 4;
constexpr DWORD kRenamePauseMs = 250;

const wchar_t kSessionManagerKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const wchar_t kPendingRenamesValue[] = L"PendingFileRenameOperations";
// The list is normally short; a larger one is not read.
constexpr DWORD kMaxPendingBytes = 1024 * 1024;

// Attributes of a file, or nothing when there is none; other failures throw.
std::optional<DWORD> attributes_of(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            return std::nullopt;
        }
        throw system_error(error);
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        throw OperationError(ERROR_DIRECTORY, path + L" é uma pasta");
    }
    return attributes;
}

// A read-only file cannot be renamed over or deleted; its other attributes stay.
void clear_read_only(const std::wstring& path) {
    const std::optional<DWORD> attributes = attributes_of(path);
    if (attributes && (*attributes & FILE_ATTRIBUTE_READONLY) &&
        !SetFileAttributesW(path.c_str(), *attributes & ~FILE_ATTRIBUTE_READONLY)) {
        throw last_system_error();
    }
}

class OwnedHandle {
public:
    explicit OwnedHandle(HANDLE handle) : handle_(handle) {}
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    ~OwnedHandle() {
        if (handle_ != INVALID_HANDLE_VALUE) {
            CloseHandle(handle_);
        }
    }
    HANDLE get() const { return handle_; }
    void close() {
        const BOOL closed = CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
        if (!closed) {
            throw last_system_error();
        }
    }

private:
    HANDLE handle_;
};

// Every file a swap writes becomes an installed program (or the copy to
// roll back to) by a rename that keeps its security: it is made new, with
// the placed programs' protected DACL, so no user of the PC can have it
// open for writing between its check and its rename. The swap deletes a
// leftover of the name first; one that reappears fails the swap.
OwnedHandle create_for_writing(const std::wstring& path) {
    return OwnedHandle(create_new_file_secured(path, kPlacedProgramSddl));
}

void write_all(HANDLE file, const char* data, std::size_t size) {
    while (size > 0) {
        const DWORD chunk = size < kChunkBytes ? static_cast<DWORD>(size) : kChunkBytes;
        DWORD written = 0;
        if (!WriteFile(file, data, chunk, &written, nullptr)) {
            throw last_system_error();
        }
        data += written;
        size -= written;
    }
}

void flush_and_close(OwnedHandle& file) {
    if (!FlushFileBuffers(file.get())) {
        throw last_system_error();
    }
    file.close();
}

class RegistryKey {
public:
    explicit RegistryKey(HKEY key) : key_(key) {}
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    ~RegistryKey() { RegCloseKey(key_); }

private:
    HKEY key_;
};

// The text of PendingFileRenameOperations as stored, NULs and all; nothing
// when there is no such list. A list that cannot be read whole throws.
std::optional<std::wstring> pending_renames(HKEY key) {
    DWORD type = 0;
    DWORD size = 0;
    LSTATUS status = RegQueryValueExW(key, kPendingRenamesValue, nullptr, &type, nullptr, &size);
    if (status == ERROR_FILE_NOT_FOUND || (status == ERROR_SUCCESS && type != REG_MULTI_SZ)) {
        return std::nullopt;
    }
    if (status == ERROR_SUCCESS && (size > kMaxPendingBytes || size % sizeof(wchar_t) != 0)) {
        status = ERROR_INVALID_DATA;
    }
    std::wstring pending;
    if (status == ERROR_SUCCESS && size > 0) {
        pending.resize(size / sizeof(wchar_t));
        status = RegQueryValueExW(key, kPendingRenamesValue, nullptr, &type, reinterpret_cast<BYTE*>(&pending[0]),
                                  &size);
    }
    // One that grew between the two reads fails here (ERROR_MORE_DATA), and is read again at the next update.
    if (status != ERROR_SUCCESS) {
        throw system_error(static_cast<DWORD>(status));
    }
    pending.resize(std::min<std::size_t>(pending.size(), size / sizeof(wchar_t)));
    return pending;
}

bool passing_failure(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_ACCESS_DENIED;
}

}  // namespace

std::optional<Sha256Digest> Win32SwapOperations::digest(const std::wstring& path) {
    if (!attributes_of(path)) {
        return std::nullopt;
    }
    HeldFile hold;
    return sha256_of_file(path, hold);
}

bool Win32SwapOperations::exists(const std::wstring& path) { return attributes_of(path).has_value(); }

void Win32SwapOperations::write_flushed(const std::wstring& path, const std::string& bytes) {
    OwnedHandle file = create_for_writing(path);
    write_all(file.get(), bytes.data(), bytes.size());
    flush_and_close(file);
}

void Win32SwapOperations::copy_flushed(const std::wstring& source, const std::wstring& target) {
    // Read while the program runs; others may read it too, nobody may change it meanwhile.
    HANDLE opened = CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
        throw last_system_error();
    }
    OwnedHandle from(opened);
    // A new file with the placed programs' security, flushed; a copy cut short is removed.
    copy_into_new_file(from.get(), target, kPlacedProgramSddl);
}

void Win32SwapOperations::replace(const std::wstring& source, const std::wstring& target) {
    clear_read_only(target);
    for (int attempt = 1;; ++attempt) {
        if (MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return;
        }
        const DWORD error = GetLastError();
        if (attempt == kRenameTries || !passing_failure(error)) {
            throw system_error(error);
        }
        Sleep(kRenamePauseMs);
    }
}

void Win32SwapOperations::replace_at_restart(const std::wstring& source, const std::wstring& target) {
    // Written to the machine's registry: needs the administrator rights update mode runs with.
    if (!MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING)) {
        throw last_system_error();
    }
}

bool Win32SwapOperations::replacement_pending(const std::wstring& source, const std::wstring& target) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManagerKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return false;
    }
    const RegistryKey held(key);
    const std::optional<std::wstring> pending = pending_renames(key);
    return pending && restart_rename_listed(*pending, source, target);
}

void Win32SwapOperations::cancel_replacement_at_restart(const std::wstring& source, const std::wstring& target) {
    HKEY key = nullptr;
    const LSTATUS opened =
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManagerKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key);
    if (opened != ERROR_SUCCESS) {
        throw system_error(static_cast<DWORD>(opened));
    }
    const RegistryKey held(key);
    const std::optional<std::wstring> pending = pending_renames(key);
    if (!pending) {
        return;
    }
    const std::wstring kept = without_restart_rename(*pending, source, target);
    if (kept == *pending) {
        return;
    }
    // A list of no renames at all is no value, as the system leaves it after a restart.
    const LSTATUS written =
        kept.find_first_not_of(L'\0') == std::wstring::npos
            ? RegDeleteValueW(key, kPendingRenamesValue)
            : RegSetValueExW(key, kPendingRenamesValue, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(kept.data()),
                             static_cast<DWORD>(kept.size() * sizeof(wchar_t)));
    if (written != ERROR_SUCCESS) {
        throw system_error(static_cast<DWORD>(written));
    }
}

void Win32SwapOperations::remove(const std::wstring& path) {
    const std::optional<DWORD> attributes = attributes_of(path);
    if (!attributes) {
        return;
    }
    // Hidden, system and read-only leftovers go too.
    constexpr DWORD kKeepingAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    if ((*attributes & kKeepingAttributes) && !SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL)) {
        throw last_system_error();
    }
    if (!DeleteFileW(path.c_str())) {
        throw last_system_error();
    }
}
