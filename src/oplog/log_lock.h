// The lock every process of the tool takes around one append to the
// operator's log (and the rotation before it): a byte-range lock on
// instalador.trava in the log folder. Only SYSTEM and Administrators can
// open a file there, so no ordinary user can make the lock first or hold
// it, as they could a named mutex (any user may create Global\NAME before
// the tool does and never let go of it).
#pragma once

#include <windows.h>

#include <string>

namespace operator_log {

// instalador.trava in the log folder `folder`.
std::wstring lock_file_path(const std::wstring& folder);

class LogLock {
public:
    LogLock() = default;
    ~LogLock();
    LogLock(const LogLock&) = delete;
    LogLock& operator=(const LogLock&) = delete;

    // Opens the lock file in `folder`, making it when missing (it takes the
    // folder's security). False when it cannot be opened.
    bool open(const std::wstring& folder);
    bool is_open() const { return file_ != INVALID_HANDLE_VALUE; }

    // Takes the lock, waiting at most `wait_ms`; false when it could not
    // be had in time. Fair enough that two processes writing without pause
    // both get their turns.
    bool acquire(DWORD wait_ms);
    void release();

private:
    bool try_lock(DWORD offset, DWORD bytes, bool exclusive);
    void unlock(DWORD offset, DWORD bytes);

    HANDLE file_ = INVALID_HANDLE_VALUE;
    DWORD held_bytes_ = 1;
};

// The lock held for one scope: usable() when it was had in time, or when
// the process has no lock file at all (each line is still one append).
class LogLockHold {
public:
    LogLockHold(LogLock& lock, DWORD wait_ms);
    ~LogLockHold();
    LogLockHold(const LogLockHold&) = delete;
    LogLockHold& operator=(const LogLockHold&) = delete;
    bool usable() const { return usable_; }

private:
    LogLock& lock_;
    bool held_ = false;
    bool usable_ = false;
};

}  // namespace operator_log
