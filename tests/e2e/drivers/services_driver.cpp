// Test driver of the support services under Wine: each run makes one call
// into the services library, chosen by the command line, and prints one
// line of JSON with what came of it (time taken, exit code, the error
// thrown). It also plays the small child programs the process runner is
// tested with, so every helper is one PE file.
//
//   services_driver [--hold PATH | --hold-shared PATH | --hold-mutex NAME]... COMMAND ARGS...
//
// --hold PATH keeps PATH open (others may only read it) for the whole call,
// as a program that has the file in use would. --hold-shared PATH keeps it
// open letting others read and write it, but not delete or replace it.
// --hold-mutex NAME creates the named mutex, or opens it, and owns it.
//
// Calls into the services:
//   fetch USER PASSWORD DOMAIN ARQUIVO [USER PASSWORD DOMAIN ARQUIVO]...
//       one fetch per group of four, in order, in this one process; the
//       client is wget.exe in this program's own folder
//   run COMMAND_LINE TIME_LIMIT WINDOW_FLAG(0|1)
//   run-ticking COMMAND_LINE INTERVAL_MS
//       a window with a timer set before the wait; counts the ticks that
//       arrive while the runner waits
//   run-nested OUTER_COMMAND_LINE INNER_COMMAND_LINE
//       the first tick during the outer wait runs the inner command
//   run-quit COMMAND_LINE
//       a tick during the wait posts WM_QUIT; tells whether it is still
//       there once the wait is over
//   replace PATH SEARCH REPLACEMENT
//   sweep
//   placement SYSTEM32_PATH NAME   where a library for 32-bit programs goes
//   log COUNT WIDTH
//       starts the operator's log as the tool does and writes COUNT lines
//       "linha N " followed by WIDTH x's
//   security PATH...
//       what the system shows of each path's owner and DACL, as SDDL text
//
// Child programs (print nothing):
//   sleep SECONDS [RECORD]     appends "start PID" and "end PID" lines to RECORD
//   spawn SECONDS RECORD       starts "sleep SECONDS RECORD" and ends at once
//   exit CODE                  ends with that exit code
//   startup-info RECORD        writes the show-window state it was started with
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <cstdio>
#include <cwchar>
#include <optional>
#include <string>
#include <vector>

#include "oplog/operator_log.h"
#include "hardening/process_folder.h"
#include "fetch_watch/fetcher.h"
#include "services/file_helpers.h"
#include "services/operation_error.h"
#include "services/process_runner.h"
#include "services/temp_sweep.h"
#include "services/text_file_edit.h"
#include "services/wow64_placement.h"

namespace {

// ------------------------------------------------------------------ output

std::string utf8(const std::wstring& text) {
    if (text.empty()) {
        return std::string();
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size, nullptr, nullptr);
    return out;
}

std::string json_string(const std::wstring& text) {
    std::string out = "\"";
    for (const char c : utf8(text)) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// One JSON object, built field by field.
class Json {
public:
    Json& raw(const char* name, const std::string& value) {
        text_ += text_.empty() ? "{" : ",";
        text_ += "\"";
        text_ += name;
        text_ += "\":";
        text_ += value;
        return *this;
    }
    Json& number(const char* name, double value) {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%.3f", value);
        return raw(name, buffer);
    }
    Json& integer(const char* name, long long value) { return raw(name, std::to_string(value)); }
    Json& text(const char* name, const std::wstring& value) { return raw(name, json_string(value)); }
    Json& boolean(const char* name, bool value) { return raw(name, value ? "true" : "false"); }
    Json& null(const char* name) { return raw(name, "null"); }
    Json& optional_code(const char* name, const std::optional<std::uint32_t>& code) {
        return code ? integer(name, static_cast<long long>(*code)) : null(name);
    }
    std::string str() const { return text_.empty() ? "{}" : text_ + "}"; }

private:
    std::string text_;
};

void print_line(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// The system's text for an error number, read here directly, so the tests
// can compare it with the description the services put into their error.
std::wstring format_message(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = length != 0 && buffer != nullptr ? std::wstring(buffer, length) : std::wstring();
    if (buffer != nullptr) {
        LocalFree(buffer);
    }
    return text;
}

// ------------------------------------------------------------------ clocks

double now_ms() {
    static const double ticks_per_ms = [] {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        return static_cast<double>(frequency.QuadPart) / 1000.0;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / ticks_per_ms;
}

// User plus kernel time of this process so far.
double cpu_ms() {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) {
        return -1;
    }
    const auto ticks = [](const FILETIME& time) {
        return static_cast<double>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
    };
    return (ticks(kernel) + ticks(user)) / 10000.0;
}

// Times one call and records its outcome: "elapsed_ms", "cpu_ms" and
// "error" (null, or the number and description of the OperationError
// thrown, with the system's own text for that number beside them).
template <typename Call>
Json timed_call(Call&& call) {
    Json result;
    const double cpu_before = cpu_ms();
    const double started = now_ms();
    std::optional<OperationError> error;
    try {
        call(result);
    } catch (const OperationError& thrown) {
        error = thrown;
    }
    result.number("elapsed_ms", now_ms() - started).number("cpu_ms", cpu_ms() - cpu_before);
    if (error) {
        Json described;
        described.integer("number", error->number())
            .text("description", error->description())
            .text("system_text", format_message(error->number()));
        result.raw("error", described.str());
    } else {
        result.null("error");
    }
    return result;
}

// ------------------------------------------------------------------ records

void append_line(const std::wstring& path, const std::string& line) {
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    const std::string bytes = line + "\n";
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::wstring own_path() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length < buffer.size()) {
            return std::wstring(buffer.data(), length);
        }
        buffer.resize(buffer.size() * 2);
    }
}

// ------------------------------------------------------------------ child programs

int child_sleep(double seconds, const std::wstring& record) {
    const std::string pid = std::to_string(GetCurrentProcessId());
    if (!record.empty()) {
        append_line(record, "start " + pid);
    }
    Sleep(static_cast<DWORD>(seconds * 1000));
    if (!record.empty()) {
        append_line(record, "end " + pid);
    }
    return 0;
}

int child_spawn(const std::wstring& seconds, const std::wstring& record) {
    std::wstring line = L"\"" + own_path() + L"\" sleep " + seconds + L" \"" + record + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        return 1;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 0;
}

int child_startup_info(const std::wstring& record) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);
    const bool uses_show_window = (startup.dwFlags & STARTF_USESHOWWINDOW) != 0;
    append_line(record, Json()
                            .boolean("uses_show_window", uses_show_window)
                            .integer("show_window", startup.wShowWindow)
                            .str());
    return 0;
}

// ------------------------------------------------------------------ a window with a timer

// What the window's handlers see while a runner call waits.
struct TickLog {
    bool waiting = false;
    double wait_started = 0;
    std::vector<double> ticks;  // during the wait, ms after its start
    // run-nested
    std::wstring inner_command;
    bool inner_done = false;
    double inner_started = 0;
    double inner_ended = 0;
    std::optional<std::uint32_t> inner_exit_code;
    // run-quit
    bool post_quit = false;
    bool quit_posted = false;
};

TickLog g_log;
constexpr UINT_PTR kTimerId = 1;

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_TIMER && wparam == kTimerId) {
        if (g_log.waiting) {
            g_log.ticks.push_back(now_ms() - g_log.wait_started);
        }
        if (g_log.waiting && !g_log.inner_command.empty() && !g_log.inner_done) {
            // Only once, and nested in the outer wait.
            g_log.inner_done = true;
            g_log.inner_started = now_ms() - g_log.wait_started;
            g_log.inner_exit_code = run_and_wait_for_exit(g_log.inner_command, 0, false);
            g_log.inner_ended = now_ms() - g_log.wait_started;
        }
        if (g_log.waiting && g_log.post_quit && !g_log.quit_posted) {
            g_log.quit_posted = true;
            PostQuitMessage(7);
        }
        return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

HWND make_timer_window(UINT interval_ms) {
    WNDCLASSW window_class{};
    window_class.lpfnWndProc = window_procedure;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.lpszClassName = L"ZunaveriServicesDriver";
    RegisterClassW(&window_class);
    HWND window = CreateWindowExW(0, window_class.lpszClassName, L"services driver", WS_OVERLAPPEDWINDOW, 0, 0,
                                  200, 100, nullptr, nullptr, window_class.hInstance, nullptr);
    if (window != nullptr) {
        SetTimer(window, kTimerId, interval_ms, nullptr);
    }
    return window;
}

// Runs the command with the window's timer already set: ticks are counted
// only while the runner waits, since nothing else here dispatches them.
Json run_with_timer(const std::wstring& command_line, UINT interval_ms) {
    HWND window = make_timer_window(interval_ms);
    if (window == nullptr) {
        return Json().text("failure", L"no window");
    }
    std::optional<std::uint32_t> exit_code;
    Json result = timed_call([&](Json&) {
        g_log.wait_started = now_ms();
        g_log.waiting = true;
        exit_code = run_and_wait_for_exit(command_line, 0, false);
        g_log.waiting = false;
    });
    KillTimer(window, kTimerId);
    result.optional_code("exit_code", exit_code).integer("ticks", static_cast<long long>(g_log.ticks.size()));
    std::string ticks = "[";
    for (std::size_t i = 0; i < g_log.ticks.size(); ++i) {
        char value[32];
        std::snprintf(value, sizeof value, "%s%.1f", i ? "," : "", g_log.ticks[i]);
        ticks += value;
    }
    result.raw("tick_ms", ticks + "]");
    if (!g_log.inner_command.empty()) {
        result.boolean("inner_ran", g_log.inner_done)
            .number("inner_started_ms", g_log.inner_started)
            .number("inner_ended_ms", g_log.inner_ended)
            .optional_code("inner_exit_code", g_log.inner_exit_code);
    }
    if (g_log.post_quit) {
        MSG message;
        const bool quit_waiting = PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
        result.boolean("quit_posted", g_log.quit_posted).boolean("quit_after_wait", quit_waiting);
        if (quit_waiting) {
            result.integer("quit_code", static_cast<long long>(message.wParam));
        }
    }
    DestroyWindow(window);
    return result;
}

// The owner and DACL of a file or folder as SDDL text, empty when unreadable.
std::wstring security_text(const std::wstring& path) {
    const SECURITY_INFORMATION wanted = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    LPWSTR text = nullptr;
    if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, wanted, nullptr, nullptr, nullptr, nullptr,
                              &descriptor) == ERROR_SUCCESS) {
        ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1, wanted, &text, nullptr);
    }
    std::wstring result = text != nullptr ? text : L"";
    LocalFree(text);
    LocalFree(descriptor);
    return result;
}

// ------------------------------------------------------------------ commands

int usage() {
    print_line(
        Json().text("failure", L"usage: services_driver [--hold[-shared] PATH | --hold-mutex NAME]... COMMAND ARGS...")
            .str());
    return 2;
}

int run_command(const std::vector<std::wstring>& args) {
    const std::wstring& command = args[0];
    const std::size_t count = args.size() - 1;

    if (command == L"fetch" && count >= 4 && count % 4 == 0) {
        std::string calls = "[";
        for (std::size_t i = 1; i + 3 < args.size(); i += 4) {
            const Json call = timed_call(
                [&](Json&) { fetch_remote_file(args[i], args[i + 1], args[i + 2], FetchPlace{tool_folder(), empty_wget_startup_file()}, args[i + 3]); });
            calls += (i == 1 ? "" : ",") + call.str();
        }
        print_line(Json().raw("calls", calls + "]").str());
        return 0;
    }
    if (command == L"run" && count == 3) {
        const std::int32_t time_limit = _wtoi(args[2].c_str());
        const bool show_window = args[3] == L"1";
        std::optional<std::uint32_t> exit_code;
        Json result =
            timed_call([&](Json&) { exit_code = run_and_wait_for_exit(args[1], time_limit, show_window); });
        print_line(result.optional_code("exit_code", exit_code).str());
        return 0;
    }
    if (command == L"run-ticking" && count == 2) {
        print_line(run_with_timer(args[1], static_cast<UINT>(_wtoi(args[2].c_str()))).str());
        return 0;
    }
    if (command == L"run-nested" && count == 2) {
        g_log.inner_command = args[2];
        print_line(run_with_timer(args[1], 50).str());
        return 0;
    }
    if (command == L"run-quit" && count == 1) {
        g_log.post_quit = true;
        print_line(run_with_timer(args[1], 50).str());
        return 0;
    }
    if (command == L"replace" && count == 3) {
        print_line(timed_call([&](Json&) { replace_text_in_file(args[1], args[2], args[3]); }).str());
        return 0;
    }
    if (command == L"placement" && count == 2) {
        print_line(Json().text("path", placement_for_32bit_programs(args[1], args[2])).str());
        return 0;
    }
    if (command == L"sweep" && count == 0) {
        print_line(timed_call([](Json&) { sweep_temporary_files(); }).str());
        return 0;
    }
    if (command == L"log" && count == 2) {
        const int lines = _wtoi(args[1].c_str());
        const std::wstring filler(static_cast<std::size_t>(_wtoi(args[2].c_str())), L'x');
        print_line(timed_call([&](Json&) {
                       operator_log::begin(GetCommandLineW(), L"driver", 3600LL * 1000);
                       for (int i = 0; i < lines; ++i) {
                           operator_log::write(L"linha " + std::to_wstring(i) + L" " + filler);
                       }
                   }).str());
        return 0;
    }
    if (command == L"security" && count >= 1) {
        std::string shown = "{";
        for (std::size_t i = 1; i < args.size(); ++i) {
            shown += (i == 1 ? "" : ",") + json_string(args[i]) + ":" + json_string(security_text(args[i]));
        }
        print_line(Json().raw("security", shown + "}").str());
        return 0;
    }

    if (command == L"sleep" && (count == 1 || count == 2)) {
        return child_sleep(_wtof(args[1].c_str()), count == 2 ? args[2] : std::wstring());
    }
    if (command == L"spawn" && count == 2) {
        return child_spawn(args[1], args[2]);
    }
    if (command == L"exit" && count == 1) {
        ExitProcess(static_cast<UINT>(_wtoi(args[1].c_str())));
    }
    if (command == L"startup-info" && count == 1) {
        return child_startup_info(args[1]);
    }
    return usage();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<std::wstring> args(argv + 1, argv + argc);
    std::vector<HANDLE> held;
    while (args.size() >= 2 && (args[0] == L"--hold" || args[0] == L"--hold-shared" || args[0] == L"--hold-mutex")) {
        HANDLE handle = nullptr;
        if (args[0] == L"--hold-mutex") {
            handle = CreateMutexW(nullptr, TRUE, args[1].c_str());
        } else {
            const DWORD sharing = args[0] == L"--hold" ? FILE_SHARE_READ : FILE_SHARE_READ | FILE_SHARE_WRITE;
            handle = CreateFileW(args[1].c_str(), GENERIC_READ, sharing, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
        }
        if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
            print_line(Json().text("failure", L"cannot hold " + args[1]).integer("code", GetLastError()).str());
            return 2;
        }
        held.push_back(handle);
        args.erase(args.begin(), args.begin() + 2);
    }
    if (args.empty()) {
        return usage();
    }
    const int code = run_command(args);
    for (HANDLE handle : held) {
        CloseHandle(handle);
    }
    return code;
}
