#include "services/text_file_edit.h"

#include "services/file_helpers.h"

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

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

// The whole file. It is opened for writing too, without writing anything:
// a file that could not be replaced (read-only, or held open by another
// program) fails here, before any work is done.
std::string read_replaceable_file(const std::wstring& path) {
    HANDLE opened = INVALID_HANDLE_VALUE;
    const bool ok = with_retries([&] {
        opened = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
        return opened != INVALID_HANDLE_VALUE;
    });
    if (!ok) {
        throw last_system_error();
    }
    FileHandle file(opened);
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.get(), &size)) {
        throw last_system_error();
    }
    if (static_cast<unsigned long long>(size.QuadPart) > std::string().max_size()) {
        throw system_error(ERROR_NOT_ENOUGH_MEMORY);
    }
    std::string content(static_cast<std::size_t>(size.QuadPart), '\0');
    std::size_t done = 0;
    while (done < content.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(content.size() - done, 1u << 24));
        DWORD read = 0;
        if (!ReadFile(file.get(), &content[done], chunk, &read, nullptr)) {
            throw last_system_error();
        }
        if (read == 0) {
            break;  // the file shrank meanwhile
        }
        done += read;
    }
    content.resize(done);
    return content;
}

std::wstring folder_of(const std::wstring& path) {
    const std::size_t separator = path.find_last_of(L"\\/");
    if (separator == std::wstring::npos) {
        return L".";
    }
    return path.substr(0, separator + 1);
}

// The new content in a fresh file beside the target; deleted again unless
// kept.
class TemporaryFile {
public:
    explicit TemporaryFile(const std::wstring& target) {
        wchar_t name[MAX_PATH + 1];
        if (GetTempFileNameW(folder_of(target).c_str(), L"znv", 0, name) == 0) {
            throw last_system_error();
        }
        path_ = name;
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

    void write(const std::string& content) {
        FileHandle file(CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                    nullptr));
        if (!file.valid()) {
            throw last_system_error();
        }
        std::size_t done = 0;
        while (done < content.size()) {
            const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(content.size() - done, 1u << 24));
            DWORD written = 0;
            if (!WriteFile(file.get(), content.data() + done, chunk, &written, nullptr)) {
                throw last_system_error();
            }
            done += written;
        }
        if (!FlushFileBuffers(file.get())) {
            throw last_system_error();
        }
        if (!file.close()) {
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
    const std::string content = read_replaceable_file(path);
    const DWORD attributes = GetFileAttributesW(path.c_str());
    const std::string edited = replace_in_lines(content, ansi_bytes(search), ansi_bytes(replacement), rule);
    TemporaryFile temporary(path);
    temporary.write(edited);
    put_in_place(path, temporary);
    // ReplaceFileW keeps the target's attributes on Windows; Wine's does
    // not, and the move after error 1176 cannot. Best effort: the new
    // content is in place whatever happens here.
    if (attributes != INVALID_FILE_ATTRIBUTES && GetFileAttributesW(path.c_str()) != attributes) {
        SetFileAttributesW(path.c_str(), attributes);
    }
}
