#include "oplog/log_lock.h"

namespace operator_log {

namespace {

constexpr wchar_t kLockFileName[] = L"\\instalador.trava";
// Byte 0 is the lock itself. Byte 1 is shared by every process waiting for
// its turn; a process that finds no one waiting takes both bytes at once
// (one call), so one that finds waiters cannot take the lock straight back
// after its last line, and lets them go first.
constexpr DWORD kTurnByte = 0;
constexpr DWORD kWaitingByte = 1;
constexpr DWORD kPollMs = 1;

}  // namespace

std::wstring lock_file_path(const std::wstring& folder) { return folder + kLockFileName; }

LogLock::~LogLock() {
    if (file_ != INVALID_HANDLE_VALUE) {
        CloseHandle(file_);
    }
}

bool LogLock::open(const std::wstring& folder) {
    // No delete sharing: the file cannot be removed, and a second one made,
    // while a process of the tool locks this one.
    file_ = CreateFileW(lock_file_path(folder).c_str(), GENERIC_READ | GENERIC_WRITE,
                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    return is_open();
}

bool LogLock::try_lock(DWORD offset, DWORD bytes, bool exclusive) {
    OVERLAPPED at{};
    at.Offset = offset;
    const DWORD flags = LOCKFILE_FAIL_IMMEDIATELY | (exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0);
    return LockFileEx(file_, flags, 0, bytes, 0, &at) != FALSE;
}

void LogLock::unlock(DWORD offset, DWORD bytes) {
    OVERLAPPED at{};
    at.Offset = offset;
    UnlockFileEx(file_, 0, bytes, 0, &at);
}

// Polled, as a bounded wait for a byte-range lock is not to be had everywhere
// (Wine never completes an overlapped one that had to wait).
bool LogLock::acquire(DWORD wait_ms) {
    if (try_lock(kTurnByte, 2, true)) {
        held_bytes_ = 2;
        return true;
    }
    const ULONGLONG deadline = GetTickCount64() + wait_ms;
    bool waiting = false;
    bool taken = false;
    while (!taken && GetTickCount64() < deadline) {
        waiting = waiting || try_lock(kWaitingByte, 1, false);
        Sleep(kPollMs);
        taken = try_lock(kTurnByte, 1, true);
    }
    if (waiting) {
        unlock(kWaitingByte, 1);
    }
    held_bytes_ = 1;
    return taken;
}

void LogLock::release() { unlock(kTurnByte, held_bytes_); }

LogLockHold::LogLockHold(LogLock& lock, DWORD wait_ms) : lock_(lock) {
    if (!lock_.is_open()) {
        usable_ = true;
        return;
    }
    held_ = lock_.acquire(wait_ms);
    usable_ = held_;
}

LogLockHold::~LogLockHold() {
    if (held_) {
        lock_.release();
    }
}

}  // namespace operator_log
