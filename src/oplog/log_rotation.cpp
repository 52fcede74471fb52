#include "oplog/log_rotation.h"

#include <windows.h>

#include <vector>

namespace operator_log {

namespace {

constexpr DWORD kChunkBytes = 64 * 1024;

class Handle {
public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle() {
        if (handle_ != INVALID_HANDLE_VALUE) {
            CloseHandle(handle_);
        }
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

bool copy_all(HANDLE source, HANDLE target) {
    std::vector<char> chunk(kChunkBytes);
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(source, chunk.data(), kChunkBytes, &read, nullptr)) {
            return false;
        }
        if (read == 0) {
            return true;
        }
        DWORD written = 0;
        if (!WriteFile(target, chunk.data(), read, &written, nullptr) || written != read) {
            return false;
        }
    }
}

// The content moves into the rotated file, which keeps its own security,
// and the log is emptied only once all of it is there: a failure midway
// leaves the log as it was (the older rotated copy is lost, as a rename
// would have lost it).
bool copy_then_truncate(const std::wstring& path, const std::wstring& rotated_path) {
    const Handle source(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!source.valid()) {
        return false;
    }
    const Handle target(CreateFileW(rotated_path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!target.valid() || !copy_all(source.get(), target.get())) {
        return false;
    }
    const LARGE_INTEGER start{};
    return SetFilePointerEx(source.get(), start, nullptr, FILE_BEGIN) && SetEndOfFile(source.get());
}

}  // namespace

bool rotate_log(const std::wstring& path, const std::wstring& rotated_path) {
    if (MoveFileExW(path.c_str(), rotated_path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        return true;
    }
    const DWORD refused = GetLastError();
    if (refused != ERROR_SHARING_VIOLATION && refused != ERROR_ACCESS_DENIED) {
        return false;
    }
    return copy_then_truncate(path, rotated_path);
}

}  // namespace operator_log
