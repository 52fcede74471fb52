#include "services/process_runner.h"

#include <windows.h>

#include <vector>

#include "services/command_line.h"
#include "services/message_pump.h"
#include "services/process_start_retry.h"
#include "services/token_without_administrators.h"
#include "services/wait_deadline.h"

namespace {

// Longest sleep between two looks at the clock while a time limit runs.
constexpr std::uint32_t kLongestTimeLimitSleepMs = 1000;

double seconds_since_midnight() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return now.wHour * 3600.0 + now.wMinute * 60.0 + now.wSecond + now.wMilliseconds / 1000.0;
}

std::wstring system_folder() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const UINT length = GetSystemDirectoryW(buffer.data(), static_cast<UINT>(buffer.size()));
        if (length == 0) {
            return L"C:\\windows\\system32";
        }
        if (length < buffer.size()) {
            return std::wstring(buffer.data(), length);
        }
        buffer.resize(length + 1);
    }
}

// Both handles of a started process, closed when the run ends.
struct ProcessHandles {
    PROCESS_INFORMATION info{};
    ProcessHandles() = default;
    ProcessHandles(const ProcessHandles&) = delete;
    ProcessHandles& operator=(const ProcessHandles&) = delete;
    ~ProcessHandles() {
        if (info.hThread != nullptr) {
            CloseHandle(info.hThread);
        }
        if (info.hProcess != nullptr) {
            CloseHandle(info.hProcess);
        }
    }
};

// Lets `milliseconds` pass with the program's windows still handling their events.
void pause_handling_messages(DWORD milliseconds, HeldQuit& quit) {
    const ULONGLONG end = GetTickCount64() + milliseconds;
    HANDLE no_handle = nullptr;  // a count of 0: only window events wake the wait
    for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64()) {
        dispatch_pending_messages(quit);
        MsgWaitForMultipleObjectsEx(0, &no_handle, static_cast<DWORD>(end - now), QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
    dispatch_pending_messages(quit);
}

// How a child is started beyond its command line and window.
struct StartOptions {
    const wchar_t* folder = nullptr;  // working folder; nullptr: the tool's own
    bool prefer_system_images = false;
    HANDLE token = nullptr;  // the child's token; nullptr: the tool's own
};

// PROCESS_CREATION_MITIGATION_POLICY_IMAGE_LOAD_PREFER_SYSTEM32_ALWAYS_ON and
// PROC_THREAD_ATTRIBUTE_MITIGATION_POLICY, spelled out: the MinGW headers
// offer them only for newer Windows versions than the program targets.
constexpr DWORD64 kPreferSystem32Images = DWORD64{1} << 60;
constexpr DWORD_PTR kMitigationPolicyAttribute = 0x20007;

// A thread-attribute list holding the mitigation, or nothing when the
// system does not take it.
class MitigationAttributes {
public:
    MitigationAttributes() {
        SIZE_T size = 0;
        InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        storage_.resize(size);
        auto* initialised = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.data());
        if (size == 0 || !InitializeProcThreadAttributeList(initialised, 1, 0, &size)) {
            return;
        }
        list_ = initialised;
        if (!UpdateProcThreadAttribute(list_, 0, kMitigationPolicyAttribute, &policy_, sizeof policy_, nullptr,
                                       nullptr)) {
            DeleteProcThreadAttributeList(list_);
            list_ = nullptr;
        }
    }
    ~MitigationAttributes() {
        if (list_ != nullptr) {
            DeleteProcThreadAttributeList(list_);
        }
    }
    MitigationAttributes(const MitigationAttributes&) = delete;
    MitigationAttributes& operator=(const MitigationAttributes&) = delete;
    LPPROC_THREAD_ATTRIBUTE_LIST list() const { return list_; }

private:
    DWORD64 policy_ = kPreferSystem32Images;
    std::vector<unsigned char> storage_;
    LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
};

bool create_process(const std::wstring& application, std::vector<wchar_t> line, bool show_window,
                    const StartOptions& options, LPPROC_THREAD_ATTRIBUTE_LIST attributes, ProcessHandles& process) {
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = attributes != nullptr ? sizeof(startup) : sizeof(startup.StartupInfo);
    startup.StartupInfo.dwFlags = STARTF_USESHOWWINDOW;
    startup.StartupInfo.wShowWindow = static_cast<WORD>(show_window ? SW_SHOWNORMAL : SW_HIDE);
    startup.lpAttributeList = attributes;
    // CreateProcessW may write into the command line.
    line.push_back(L'\0');
    const wchar_t* program = application.empty() ? nullptr : application.c_str();
    const DWORD flags = attributes != nullptr ? EXTENDED_STARTUPINFO_PRESENT : 0;
    if (options.token != nullptr) {
        return CreateProcessAsUserW(options.token, program, line.data(), nullptr, nullptr, FALSE, flags, nullptr,
                                    options.folder, &startup.StartupInfo, &process.info) != FALSE;
    }
    return CreateProcessW(program, line.data(), nullptr, nullptr, FALSE, flags, nullptr, options.folder,
                          &startup.StartupInfo, &process.info) != FALSE;
}

bool start_process(const std::wstring& command_line, bool show_window, const StartOptions& options,
                   ProcessHandles& process) {
    std::wstring application;
    std::wstring line;
    if (runs_batch_file(command_line)) {
        application = system_folder() + L"\\cmd.exe";
        line = batch_interpreter_arguments(command_line);
    } else {
        line = command_line;
    }
    const std::vector<wchar_t> characters(line.begin(), line.end());
    if (options.prefer_system_images) {
        const MitigationAttributes mitigation;
        if (mitigation.list() != nullptr &&
            create_process(application, characters, show_window, options, mitigation.list(), process)) {
            return true;
        }
        // Refused (a system before Windows 8 has no such mitigation): a plain start.
        process.info = PROCESS_INFORMATION{};
    }
    return create_process(application, characters, show_window, options, nullptr, process);
}

// A start that fails for a passing reason (a scanner holding a fresh
// download, a loaded system) is tried once more after a short pause.
bool start_process_once_more_if_passing(const std::wstring& command_line, bool show_window,
                                        const StartOptions& options, ProcessHandles& process, HeldQuit& quit) {
    if (start_process(command_line, show_window, options, process)) {
        return true;
    }
    if (!worth_a_second_start(GetLastError())) {
        return false;
    }
    pause_handling_messages(kSecondStartPauseMs, quit);
    process.info = PROCESS_INFORMATION{};
    return start_process(command_line, show_window, options, process);
}

std::optional<std::uint32_t> run(const std::wstring& command_line, std::int32_t time_limit, bool show_window,
                                 const StartOptions& options) {
    const std::optional<WaitDeadline> wait = wait_deadline(start_second(seconds_since_midnight()), time_limit);
    if (!wait) {
        return std::nullopt;
    }
    HeldQuit quit;
    ProcessHandles process;
    if (!start_process_once_more_if_passing(command_line, show_window, options, process, quit)) {
        return std::nullopt;
    }
    if (process.info.hProcess == nullptr) {
        // Nothing to wait on (a Unix program started under Wine).
        return std::nullopt;
    }

    const bool limited = time_limit != 0;
    for (;;) {
        const bool ended = WaitForSingleObject(process.info.hProcess, 0) == WAIT_OBJECT_0;
        dispatch_pending_messages(quit);
        if (limited && time_limit_passed(*wait, seconds_since_midnight)) {
            return std::nullopt;
        }
        if (ended) {
            // Read only now: 259 is then a real exit code, not "still active".
            DWORD exit_code = 0;
            if (!GetExitCodeProcess(process.info.hProcess, &exit_code)) {
                return std::nullopt;
            }
            return exit_code;
        }
        const DWORD sleep_ms = limited
                                   ? milliseconds_to_time_limit(*wait, seconds_since_midnight(),
                                                                kLongestTimeLimitSleepMs)
                                   : INFINITE;
        const DWORD woke = MsgWaitForMultipleObjectsEx(1, &process.info.hProcess, sleep_ms, QS_ALLINPUT,
                                                       MWMO_INPUTAVAILABLE);
        if (woke == WAIT_FAILED) {
            return std::nullopt;
        }
    }
}

std::optional<std::uint32_t> run_guarded(const std::wstring& command_line, std::int32_t time_limit, bool show_window,
                                         const StartOptions& options) {
    try {
        return run(command_line, time_limit, show_window, options);
    } catch (...) {
        // The runner's own failures (out of memory while building the line)
        // are absorbed like a program that cannot be started. Window
        // handlers run inside the wait deal with their own errors before
        // returning to the dispatch (shell/event_guard.h).
        return std::nullopt;
    }
}

}  // namespace

std::optional<std::uint32_t> run_and_wait_for_exit(const std::wstring& command_line, std::int32_t time_limit,
                                                   bool show_window) {
    return run_guarded(command_line, time_limit, show_window, StartOptions{});
}

std::optional<std::uint32_t> run_in_folder_and_wait_for_exit(const std::wstring& command_line,
                                                             const std::wstring& folder) {
    return run_guarded(command_line, 0, false, StartOptions{folder.c_str(), true});
}

// The token is made before the run, outside its guard: a token that
// cannot be made fails the caller's step, and nothing runs with the full one.
std::optional<std::uint32_t> run_without_administrators_and_wait_for_exit(const std::wstring& command_line) {
    const TokenWithoutAdministrators token;
    return run_guarded(command_line, 0, false, StartOptions{nullptr, false, token.handle()});
}

std::optional<std::uint32_t> run_in_folder_without_administrators_and_wait_for_exit(const std::wstring& command_line,
                                                                                    const std::wstring& folder) {
    const TokenWithoutAdministrators token;
    return run_guarded(command_line, 0, false, StartOptions{folder.c_str(), true, token.handle()});
}

void executar_e_aguardar(const std::wstring& command_line, const std::int32_t& time_limit, const bool& show_window) {
    run_and_wait_for_exit(command_line, time_limit, show_window);
}
