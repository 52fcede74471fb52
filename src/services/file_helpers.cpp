#include "services/file_helpers.h"

#include <windows.h>

#include <cwchar>
#include <vector>

#include "services/link_free_path.h"
#include "services/system_error_text.h"

namespace {

constexpr DWORD kAbsentAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY;

// What marks a file that wget did not just save: the presence test
// skips hidden and system files, and a read-only one cannot be deleted.
constexpr DWORD kMarkingAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY;

bool counts_as_present(const WIN32_FIND_DATAW& found) { return (found.dwFileAttributes & kAbsentAttributes) == 0; }

constexpr DWORD kCopyChunkBytes = 1u << 16;

// The attributes CopyFileW hands from the source to the copy.
constexpr DWORD kCopiedAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                    FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// CopyFileW's work through handles opened without following a link: the
// target replaced, its content, last-write time and attributes the
// source's. A copy that fails midway is removed, as CopyFileW removes it.
void copy_link_free(const std::wstring& source, const std::wstring& target) {
    const LinkFreeFile from(source, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    const LinkFreeFile to(target, GENERIC_WRITE | DELETE, 0, CREATE_ALWAYS);
    try {
        std::vector<char> chunk(kCopyChunkBytes);
        for (;;) {
            DWORD read = 0;
            if (!ReadFile(from.handle(), chunk.data(), kCopyChunkBytes, &read, nullptr)) {
                throw last_system_error();
            }
            if (read == 0) {
                break;
            }
            DWORD written = 0;
            if (!WriteFile(to.handle(), chunk.data(), read, &written, nullptr) || written != read) {
                throw last_system_error();
            }
        }
        FILETIME last_write;
        FILE_BASIC_INFO basic{};
        basic.FileAttributes = from.attributes() & kCopiedAttributes;
        if (basic.FileAttributes == 0) {
            basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
        }
        if (!GetFileTime(from.handle(), nullptr, nullptr, &last_write) ||
            !SetFileTime(to.handle(), nullptr, nullptr, &last_write) ||
            !SetFileInformationByHandle(to.handle(), FileBasicInfo, &basic, sizeof basic)) {
            throw last_system_error();
        }
    } catch (...) {
        FILE_DISPOSITION_INFO remove{TRUE};
        SetFileInformationByHandle(to.handle(), FileDispositionInfo, &remove, sizeof remove);
        throw;
    }
}

}  // namespace

std::optional<std::uint64_t> present_file_length(const std::wstring& path) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(path.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_NO_MORE_FILES) {
            return std::nullopt;
        }
        throw system_error(error);
    }
    std::optional<std::uint64_t> length;
    do {
        if (counts_as_present(found)) {
            length = (static_cast<std::uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
            break;
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return length;
}

bool file_present(const std::wstring& path) { return present_file_length(path).has_value(); }

void delete_file(const std::wstring& path) {
    if (!DeleteFileW(path.c_str())) {
        throw last_system_error();
    }
}

bool delete_file_of_any_attributes(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            return false;
        }
        throw system_error(error);
    }
    if ((attributes & kMarkingAttributes) != 0 && !SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL)) {
        throw last_system_error();
    }
    delete_file(path);
    return true;
}

std::vector<std::wstring> numbered_copies(const std::wstring& path) {
    const std::size_t separator = path.find_last_of(L"\\/");
    const std::wstring folder = separator == std::wstring::npos ? std::wstring() : path.substr(0, separator + 1);
    const std::wstring prefix = path.substr(folder.size()) + L".";
    std::vector<std::wstring> found;
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((path + L".*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) {
        return found;
    }
    do {
        const std::wstring name = entry.cFileName;
        // The lookup's wildcard also matches short names: only a whole
        // "name.N" counts.
        if (name.size() > prefix.size() && _wcsnicmp(name.c_str(), prefix.c_str(), prefix.size()) == 0 &&
            name.find_first_not_of(L"0123456789", prefix.size()) == std::wstring::npos) {
            found.push_back(folder + name);
        }
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return found;
}

std::wstring tool_folder() {
    std::vector<wchar_t> buffer(MAX_PATH);
    DWORD length = 0;
    for (;;) {
        length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            throw last_system_error();
        }
        if (length < buffer.size()) {
            break;
        }
        buffer.resize(buffer.size() * 2);
    }
    std::wstring path(buffer.data(), length);
    const std::size_t separator = path.find_last_of(L"\\/");
    return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator);
}

std::string ansi_bytes(const std::wstring& text) {
    if (text.empty()) {
        return std::string();
    }
    const int wide_length = static_cast<int>(text.size());
    const int length = WideCharToMultiByte(CP_ACP, 0, text.data(), wide_length, nullptr, 0, nullptr, nullptr);
    if (length <= 0) {
        throw last_system_error();
    }
    std::string bytes(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), wide_length, &bytes[0], length, nullptr, nullptr);
    return bytes;
}

void copy_file_replacing(const std::wstring& source, const std::wstring& target) {
    if (lies_in_xampp_tree(source) || lies_in_xampp_tree(target)) {
        copy_link_free(source, target);
        return;
    }
    if (!CopyFileW(source.c_str(), target.c_str(), FALSE)) {
        throw last_system_error();
    }
}

std::wstring text_from_ansi(const std::string& bytes) {
    if (bytes.empty()) {
        return std::wstring();
    }
    const int length = static_cast<int>(bytes.size());
    const int wide_length = MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, nullptr, 0);
    if (wide_length <= 0) {
        throw last_system_error();
    }
    std::wstring text(static_cast<std::size_t>(wide_length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, &text[0], wide_length);
    return text;
}

std::int64_t local_modification_time(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
        throw last_system_error();
    }
    FILETIME local;
    if (!FileTimeToLocalFileTime(&data.ftLastWriteTime, &local)) {
        throw last_system_error();
    }
    const std::int64_t ticks =
        static_cast<std::int64_t>((static_cast<std::uint64_t>(local.dwHighDateTime) << 32) | local.dwLowDateTime);
    return ticks - ticks % 10000000LL;
}
