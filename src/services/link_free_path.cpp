#include "services/link_free_path.h"

#include <utility>

#include "services/operation_error.h"
#include "services/system_error_text.h"
#include "services/xampp_path_levels.h"

namespace {

// ERROR_REPARSE_POINT_ENCOUNTERED, which MinGW's headers lack.
constexpr DWORD kLinkRefused = 4395;

// Folders stay open without delete sharing, so nobody renames, moves or
// deletes them while held; reading the folder (not only its attributes)
// makes the system enforce that sharing.
constexpr DWORD kFolderAccess = FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
constexpr DWORD kFolderSharing = FILE_SHARE_READ | FILE_SHARE_WRITE;

[[noreturn]] void refuse_link(const std::wstring& level) {
    throw OperationError(kLinkRefused, level + L" é um link ou junção: nada foi lido nem escrito por ele");
}

[[noreturn]] void refuse_hard_link(const std::wstring& file) {
    throw OperationError(ERROR_TOO_MANY_LINKS,
                         file + L" tem mais de um vínculo (hard link): nada foi lido nem escrito por ele");
}

std::wstring full_path_of(const std::wstring& path) {
    std::wstring full(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), &full[0], nullptr);
        if (length == 0) {
            throw last_system_error();
        }
        if (length < full.size()) {
            full.resize(length);
            return full;
        }
        full.resize(length);
    }
}

// The path the system reached through the handle, every link resolved.
std::wstring final_path_of(HANDLE handle) {
    std::wstring final_path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetFinalPathNameByHandleW(handle, &final_path[0], static_cast<DWORD>(final_path.size()),
                                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0) {
            throw last_system_error();
        }
        if (length < final_path.size()) {
            final_path.resize(length);
            return final_path;
        }
        final_path.resize(length);
    }
}

bool same_path(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

BY_HANDLE_FILE_INFORMATION information_of(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION information;
    if (!GetFileInformationByHandle(handle, &information)) {
        throw last_system_error();
    }
    return information;
}

// The checks of one level, by name before it is opened and by handle after:
// on Windows a link opened with FILE_FLAG_OPEN_REPARSE_POINT shows its
// reparse attribute; Wine opens the link's target all the same, which
// the path the handle leads to gives away.
void refuse_if_named_link(const std::wstring& level) {
    const DWORD attributes = GetFileAttributesW(level.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        refuse_link(level);
    }
}

BY_HANDLE_FILE_INFORMATION checked_level(HANDLE handle, const std::wstring& level, const std::wstring& expected) {
    const BY_HANDLE_FILE_INFORMATION information = information_of(handle);
    if ((information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
        !same_path(final_path_of(handle), expected)) {
        refuse_link(level);
    }
    return information;
}

HANDLE open_level(const std::wstring& level, DWORD access, DWORD share, DWORD disposition, DWORD flags) {
    return CreateFileW(level.c_str(), access, share, nullptr, disposition, flags | FILE_FLAG_OPEN_REPARSE_POINT,
                       nullptr);
}

// The file itself, made anew only where nothing bears its name: a dangling
// link is never created through. `made` tells whether it was.
HANDLE open_file_level(const std::wstring& file, DWORD access, DWORD share, DWORD disposition, bool& made) {
    made = false;
    HANDLE opened = open_level(file, access, share, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
    if (opened != INVALID_HANDLE_VALUE || disposition == OPEN_EXISTING || GetLastError() != ERROR_FILE_NOT_FOUND) {
        return opened;
    }
    opened = open_level(file, access, share, CREATE_NEW, FILE_ATTRIBUTE_NORMAL);
    made = opened != INVALID_HANDLE_VALUE;
    if (opened == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS) {
        opened = open_level(file, access, share, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);  // made meanwhile
    }
    return opened;
}

}  // namespace

bool lies_in_xampp_tree(const std::wstring& path) { return lies_under_xampp(full_path_of(path)); }

LinkFreeFile::LinkFreeFile(const std::wstring& path, DWORD access, DWORD share, DWORD disposition) {
    const std::wstring full_path = full_path_of(path);
    if (!lies_under_xampp(full_path)) {
        file_ = CreateFileW(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file_ == INVALID_HANDLE_VALUE) {
            throw last_system_error();
        }
        attributes_ = information_of(file_).dwFileAttributes;
        return;
    }
    try {
        open_in_xampp_tree(full_path, access, share, disposition);
    } catch (...) {
        let_go();
        throw;
    }
}

void LinkFreeFile::open_in_xampp_tree(const std::wstring& full_path, DWORD access, DWORD share,
                                      DWORD disposition) {
    const XamppPathLevels taken = xampp_path_levels(full_path);
    // c:\xampp itself is where the administrator put it (it may be a
    // junction to another drive); the levels below must lie where it does.
    folders_.push_back(CreateFileW(taken.root.c_str(), kFolderAccess, kFolderSharing, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (folders_.back() == INVALID_HANDLE_VALUE) {
        folders_.pop_back();
        throw last_system_error();
    }
    const std::wstring root = final_path_of(folders_.back());
    const auto expected = [&](const std::wstring& level) { return root + level.substr(taken.root.size()); };

    for (std::size_t i = 0; i + 1 < taken.levels.size(); ++i) {
        const std::wstring& folder = taken.levels[i];
        refuse_if_named_link(folder);
        folders_.push_back(open_level(folder, kFolderAccess, kFolderSharing, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS));
        if (folders_.back() == INVALID_HANDLE_VALUE) {
            folders_.pop_back();
            throw last_system_error();
        }
        if ((checked_level(folders_.back(), folder, expected(folder)).dwFileAttributes &
             FILE_ATTRIBUTE_DIRECTORY) == 0) {
            throw system_error(ERROR_PATH_NOT_FOUND);  // what opening a file inside it would say
        }
    }

    const std::wstring& file = taken.levels.back();
    refuse_if_named_link(file);
    bool made = false;
    file_ = open_file_level(file, access, share, disposition, made);
    if (file_ == INVALID_HANDLE_VALUE) {
        throw last_system_error();
    }
    const BY_HANDLE_FILE_INFORMATION information = checked_level(file_, file, expected(file));
    if ((information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        throw system_error(ERROR_ACCESS_DENIED);  // as CreateFileW answers for a folder
    }
    if (information.nNumberOfLinks > 1) {
        refuse_hard_link(file);
    }
    attributes_ = information.dwFileAttributes;
    if (disposition == CREATE_ALWAYS && !made) {
        // CREATE_ALWAYS refuses to overwrite a hidden or system file.
        if ((attributes_ & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0) {
            throw system_error(ERROR_ACCESS_DENIED);
        }
        if (!SetEndOfFile(file_)) {
            throw last_system_error();
        }
    }
}

LinkFreeFile::~LinkFreeFile() { let_go(); }

LinkFreeFile::LinkFreeFile(LinkFreeFile&& other) noexcept
    : file_(std::exchange(other.file_, INVALID_HANDLE_VALUE)),
      attributes_(other.attributes_),
      folders_(std::move(other.folders_)) {
    other.folders_.clear();
}

LinkFreeFile& LinkFreeFile::operator=(LinkFreeFile&& other) noexcept {
    if (this != &other) {
        let_go();
        file_ = std::exchange(other.file_, INVALID_HANDLE_VALUE);
        attributes_ = other.attributes_;
        folders_ = std::move(other.folders_);
        other.folders_.clear();
    }
    return *this;
}

bool LinkFreeFile::close_file() {
    if (file_ == INVALID_HANDLE_VALUE) {
        return true;
    }
    const BOOL closed = CloseHandle(file_);
    file_ = INVALID_HANDLE_VALUE;
    return closed != FALSE;
}

void LinkFreeFile::let_go() {
    close_file();
    for (auto held = folders_.rbegin(); held != folders_.rend(); ++held) {
        CloseHandle(*held);
    }
    folders_.clear();
}
