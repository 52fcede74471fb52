#include "services/text_file_edit.h"

#include "services/file_helpers.h"

#include <windows.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "services/link_free_path.h"
#include "services/operation_error.h"
#include "services/secured_files.h"
#include "services/security_descriptors.h"
#include "services/staging_folder.h"
#include "services/system_error_text.h"
#include "services/text_replacement.h"

namespace {

// Antivirus scanners and indexers hold fresh files for a moment: a sharing
// or lock violation is tried again a few times before it counts.
constexpr DWORD kRetryDelaysMs[] = {25, 50, 100, 200};

bool is_transient(DWORD error) { return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION; }

template <typename Attempt>
bool with_retries(Attempt&& attempt) {
    for (const DWORD delay : kRetryDelaysMs) {
        if (attempt()) {
            return true;
        }
        if (!is_transient(GetLastError())) {
            return false;
        }
        Sleep(delay);
    }
    return attempt();
}

class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() { close(); }
    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    bool close() {
        if (handle_ == INVALID_HANDLE_VALUE) {
            return true;
        }
        const BOOL closed = CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
        return closed != FALSE;
    }

private:
    HANDLE handle_;
};

// The file, opened for reading. It is opened for writing too, without
// writing anything: a file that could not be replaced (read-only, or held
// open by another program) fails here, before any work is done. In
// c:\xampp its folders stay held until the swap is done, and a link or a
// file with another hard link is refused (services/link_free_path.h).
LinkFreeFile open_replaceable_file(const std::wstring& path) {
    LinkFreeFile opened;
    std::optional<OperationError> failure;
    const bool ok = with_retries([&] {
        try {
            opened = LinkFreeFile(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING);
            return true;
        } catch (const OperationError& error) {
            failure = error;
            SetLastError(error.number());
            return false;
        }
    });
    if (!ok) {
        throw *failure;
    }
    return opened;
}

std::wstring folder_of(const std::wstring& path) {
    const std::size_t separator = path.find_last_of(L"\\/");
    return separator == std::wstring::npos ? std::wstring(L".\\") : path.substr(0, separator + 1);
}

// The volume that a folder lies on, once junctions and mount points are
// followed.
std::optional<DWORD> volume_serial(const std::wstring& folder) {
    FileHandle opened(CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION information;
    if (!opened.valid() || !GetFileInformationByHandle(opened.get(), &information)) {
        return std::nullopt;
    }
    return information.dwVolumeSerialNumber;
}

// The staging folder (services/staging_folder.h) when it lies on the
// target's volume, which the swap needs. Should the document root be
// mounted from another volume, the new content is staged beside the
// target after all: the rewrite works, only not away from the served tree.
std::wstring staging_folder(const std::wstring& target) {
    std::wstring preferred = staging_folder_for(target);
    std::wstring beside = folder_of(target);
    if (preferred == beside) {
        return preferred;
    }
    const std::optional<DWORD> preferred_volume = volume_serial(preferred);
    if (preferred_volume && preferred_volume == volume_serial(beside)) {
        return preferred;
    }
    return beside;
}

// The new content in a fresh file of the staging folder; deleted again
// unless kept.
class TemporaryFile {
public:
    // Made new under a name of its own, with a list that lets no ordinary
    // user change, delete or replace it before the swap: in c:\xampp anyone
    // may change the folder's other files, and a file put in its place (a
    // hard link to a system file) would take the target's list at the swap.
    explicit TemporaryFile(const std::wstring& folder) {
        const ULONGLONG start = GetTickCount64();
        for (unsigned attempt = 0;; ++attempt) {
            wchar_t name[32];
            swprintf(name, 32, L"znv%04lX%04X.tmp", static_cast<unsigned long>((start + attempt) & 0xFFFF),
                     static_cast<unsigned>(GetCurrentProcessId() & 0xFFFF));
            try {
                CloseHandle(create_new_file_secured(folder + name, kStagedEditSddl));
                path_ = folder + name;
                return;
            } catch (const OperationError& error) {
                if ((error.number() != ERROR_FILE_EXISTS && error.number() != ERROR_ALREADY_EXISTS) || attempt == 64) {
                    throw;
                }
            }
        }
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() {
        if (!kept_) {
            DeleteFileW(path_.c_str());
        }
    }
    const std::wstring& path() const { return path_; }
    void keep() { kept_ = true; }

    // Writes what `produce` hands to its writer, then flushes and closes.
    // In c:\xampp anyone may have put a link in its place meanwhile: it is
    // reached without following one.
    void write(const std::function<void(const ResultWriter&)>& produce) {
        LinkFreeFile file(path_, GENERIC_WRITE, 0, CREATE_ALWAYS);
        produce([&file](std::string_view piece) {
            while (!piece.empty()) {
                const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(piece.size(), 1u << 24));
                DWORD written = 0;
                if (!WriteFile(file.handle(), piece.data(), chunk, &written, nullptr)) {
                    throw last_system_error();
                }
                piece.remove_prefix(written);
            }
        });
        if (!FlushFileBuffers(file.handle())) {
            throw last_system_error();
        }
        if (!file.close_file()) {
            throw last_system_error();
        }
    }

private:
    std::wstring path_;
    bool kept_ = false;
};

void put_in_place(const std::wstring& target, TemporaryFile& replacement) {
    const bool replaced = with_retries([&] {
        return ReplaceFileW(target.c_str(), replacement.path().c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                            nullptr, nullptr) != FALSE;
    });
    if (replaced) {
        replacement.keep();  // it has become the target
        return;
    }
    const DWORD error = GetLastError();
    if (error != ERROR_UNABLE_TO_MOVE_REPLACEMENT) {
        throw system_error(error);
    }
    // The old file is already gone and the new content is complete:
    // finish by moving it into place; if even that fails, the temporary
    // file is the only copy left, so it stays.
    replacement.keep();
    if (!MoveFileExW(replacement.path().c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        throw last_system_error();
    }
}

}  // namespace

void replace_text_in_file(const std::wstring& path, const std::wstring& search, const std::wstring& replacement,
                          Occurrence rule) {
    LinkFreeFile source = open_replaceable_file(path);
    const DWORD attributes = source.attributes();
    const std::string search_bytes = ansi_bytes(search);
    const std::string replacement_bytes = ansi_bytes(replacement);
    TemporaryFile temporary(staging_folder(path));
    temporary.write([&](const ResultWriter& write) {
        const ContentReader read = [&source](char* buffer, std::size_t capacity) {
            DWORD got = 0;
            if (!ReadFile(source.handle(), buffer, static_cast<DWORD>(std::min<std::size_t>(capacity, 1u << 24)), &got,
                          nullptr)) {
                throw last_system_error();
            }
            return static_cast<std::size_t>(got);
        };
        replace_in_lines_streamed(read, write, search_bytes, replacement_bytes, rule);
    });
    source.close_file();
    put_in_place(path, temporary);
    // ReplaceFileW keeps the target's attributes on Windows; Wine's does
    // not, and the move after error 1176 cannot. Best effort: the new
    // content is in place whatever happens here.
    if (GetFileAttributesW(path.c_str()) != attributes) {
        try {
            const LinkFreeFile placed(path, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING);
            FILE_BASIC_INFO basic{};
            basic.FileAttributes = attributes;
            SetFileInformationByHandle(placed.handle(), FileBasicInfo, &basic, sizeof basic);
        } catch (const OperationError&) {
            // Refused or gone meanwhile: its attributes are not ours to set.
        }
    }
}
