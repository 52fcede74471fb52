#include "fetch_watch/watched_fetch.h"

#include <windows.h>

#include <vector>

#include "services/fetch_progress.h"
#include "services/message_pump.h"
#include "services/process_start_retry.h"

namespace {

// A handle closed when it goes out of scope.
class Handle {
public:
    Handle() = default;
    explicit Handle(HANDLE handle) : handle_(handle) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() { reset(nullptr); }
    void reset(HANDLE handle) {
        if (handle_ != nullptr) {
            CloseHandle(handle_);
        }
        handle_ = handle;
    }
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_ = nullptr;
};

// The job that ends the client and its children when it is closed or
// terminated, or nothing when the system refuses one.
HANDLE make_kill_on_close_job() {
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (job == nullptr) {
        return nullptr;
    }
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
        CloseHandle(job);
        return nullptr;
    }
    return job;
}

bool create(const std::wstring& command_line, DWORD flags, PROCESS_INFORMATION& started) {
    std::vector<wchar_t> line(command_line.begin(), command_line.end());
    line.push_back(L'\0');  // CreateProcessW may write into it
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    started = PROCESS_INFORMATION{};
    return CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, flags, nullptr, nullptr, &startup,
                          &started) != FALSE;
}

// A start that fails for a passing reason is tried once more after a short
// pause, as every run of the tool does (services/process_start_retry.h).
bool start(const std::wstring& command_line, DWORD flags, PROCESS_INFORMATION& started, HeldQuit& quit) {
    if (create(command_line, flags, started)) {
        return true;
    }
    if (!worth_a_second_start(GetLastError())) {
        return false;
    }
    const ULONGLONG end = GetTickCount64() + kSecondStartPauseMs;
    for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64()) {
        dispatch_pending_messages(quit);
        HANDLE no_handle = nullptr;  // a count of 0: only window events wake the wait
        MsgWaitForMultipleObjectsEx(0, &no_handle, static_cast<DWORD>(end - now), QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
    dispatch_pending_messages(quit);
    return create(command_line, flags, started);
}

// The copy's length, 0 while it is not there.
std::uint64_t length_of(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
        return 0;
    }
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Says the fetch ended, however the wait is left.
struct ProgressEnd {
    ProgressEnd() = default;
    ProgressEnd(const ProgressEnd&) = delete;
    ProgressEnd& operator=(const ProgressEnd&) = delete;
    ~ProgressEnd() { report_fetch_progress(std::nullopt); }
};

}  // namespace

WatchedFetch run_watched_fetch(const std::wstring& command_line, const std::wstring& copy,
                               const std::optional<FetchBounds>& bounds) {
    WatchedFetch outcome;
    HeldQuit quit;
    Handle job(bounds ? make_kill_on_close_job() : nullptr);
    PROCESS_INFORMATION started{};
    // Suspended until it is in the job, so nothing it starts escapes it.
    if (!start(command_line, bounds ? CREATE_SUSPENDED : 0, started, quit)) {
        return outcome;
    }
    const Handle process(started.hProcess);
    const Handle thread(started.hThread);
    if (bounds && (job.get() == nullptr || !AssignProcessToJobObject(job.get(), process.get()))) {
        // A system that nests no jobs (Windows 7 inside a task's job): the
        // client alone is ended on a stop (wget starts nothing of its own).
        job.reset(nullptr);
    }
    if (bounds) {
        ResumeThread(thread.get());
    }
    if (process.get() == nullptr) {
        return outcome;  // nothing to wait on (a Unix program started under Wine)
    }

    const ProgressEnd progress_end;
    const std::optional<std::uint64_t> expected =
        bounds && bounds->signed_length ? std::optional<std::uint64_t>(bounds->most_bytes) : std::nullopt;
    std::optional<FetchWatch> watch;
    if (bounds) {
        watch.emplace(*bounds);
    }
    const ULONGLONG began = GetTickCount64();
    std::uint64_t reported = 0;
    report_fetch_progress(FetchProgress{0, expected});
    for (;;) {
        const HANDLE waited = process.get();
        const DWORD woke = MsgWaitForMultipleObjectsEx(1, &waited, kFetchLookMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        dispatch_pending_messages(quit);
        const bool ended = WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0;
        outcome.bytes = length_of(copy);
        outcome.seconds = static_cast<double>(GetTickCount64() - began) / 1000.0;
        if (outcome.bytes != reported) {
            reported = outcome.bytes;
            report_fetch_progress(FetchProgress{reported, expected});
        }
        if (ended) {
            // Read only now: 259 is then a real exit code, not "still active".
            DWORD exit_code = 0;
            if (GetExitCodeProcess(process.get(), &exit_code)) {
                outcome.exit_code = exit_code;
            }
            return outcome;
        }
        if (watch) {
            outcome.stop = watch->observe(outcome.seconds, outcome.bytes);
        }
        if (woke == WAIT_FAILED && !bounds) {
            return outcome;  // as every unbounded run: the client goes on by itself
        }
        if (outcome.stop || woke == WAIT_FAILED) {
            if (job.get() == nullptr || !TerminateJobObject(job.get(), 1)) {
                TerminateProcess(process.get(), 1);
            }
            // Its handles on the copy close as it goes, so the copy can be removed.
            WaitForSingleObject(process.get(), 5000);
            return outcome;
        }
    }
}
