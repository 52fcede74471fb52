// What waiting for a child costs the tool, and how soon it notices the end.
//
// Two waits are compared in the same run, each with a hidden window whose
// one-second timer ticks during the wait (as in update mode):
//   - baseline: the polling loop the runner replaced. Start the child, open
//     it by id with access 0x400, then loop with no pause: read the exit
//     code, process pending window events, stop when it is no longer 259;
//   - ours: run_and_wait_for_exit, which sleeps on the process handle and
//     the message queue.
// Figures: CPU seconds of this process (user + kernel) during a 10 s wait,
// and the median delay from the child's last instruction to the return,
// over short children that stamp the moment they exit.
//
//   bench_wait [seconds of the long wait, default 10] [short runs, default 15]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "services/message_pump.h"
#include "services/process_runner.h"
#include "bench_clock.h"

namespace {

const wchar_t kStampName[] = L"Local\\zunaveri_bench_wait_stamp";



std::wstring own_path() {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

// The child: sleeps, writes the counter into the shared stamp, and exits.
int run_child(int sleep_ms) {
    Sleep(static_cast<DWORD>(sleep_ms));
    HANDLE mapping = OpenFileMappingW(FILE_MAP_WRITE, FALSE, kStampName);
    if (mapping != nullptr) {
        auto* stamp = static_cast<volatile double*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(double)));
        if (stamp != nullptr) {
            *stamp = counter_seconds();
        }
    }
    ExitProcess(0);
}

// The polling loop of the old runner.
void poll_until_exit(const std::wstring& command_line) {
    std::vector<wchar_t> line(command_line.begin(), command_line.end());
    line.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started)) {
        return;
    }
    CloseHandle(started.hThread);
    HANDLE process = OpenProcess(0x400, FALSE, started.dwProcessId);
    CloseHandle(started.hProcess);
    DWORD exit_code = 0;
    for (;;) {
        GetExitCodeProcess(process, &exit_code);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            dispatch_window_message(message);
        }
        if (exit_code != STILL_ACTIVE) {
            break;
        }
    }
    if (process != nullptr) {
        CloseHandle(process);
    }
}

struct Wait {
    const char* name;
    void (*wait)(const std::wstring&);
};

void runner_wait(const std::wstring& command_line) { run_and_wait_for_exit(command_line, 0, false); }

int ticks = 0;
LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_TIMER) {
        ++ticks;
        return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 3 && std::wcscmp(argv[1], L"child") == 0) {
        return run_child(_wtoi(argv[2]));
    }
    const int long_seconds = argc > 1 ? _wtoi(argv[1]) : 10;
    const int short_runs = argc > 2 ? _wtoi(argv[2]) : 15;

    WNDCLASSW window_class{};
    window_class.lpfnWndProc = window_procedure;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.lpszClassName = L"ZunaveriBenchWait";
    RegisterClassW(&window_class);
    HWND window = CreateWindowW(window_class.lpszClassName, L"bench", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                                nullptr, window_class.hInstance, nullptr);
    SetTimer(window, 1, 1000, nullptr);

    HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(double), kStampName);
    auto* stamp = static_cast<volatile double*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(double)));

    const std::wstring child = L"\"" + own_path() + L"\" child ";
    const Wait waits[] = {{"baseline poll loop", poll_until_exit}, {"executar_e_aguardar", runner_wait}};
    double cpu[2] = {0, 0};
    int index = 0;
    for (const Wait& wait : waits) {
        ticks = 0;
        const double cpu_before = cpu_seconds();
        const double wall_before = counter_seconds();
        wait.wait(child + std::to_wstring(long_seconds * 1000));
        const double wall = counter_seconds() - wall_before;
        cpu[index] = cpu_seconds() - cpu_before;
        std::printf("%-20s %d s child: wall %.2f s, CPU %.3f s, timer ticks handled %d\n", wait.name, long_seconds,
                    wall, cpu[index], ticks);
        std::fflush(stdout);
        ++index;
    }
    std::printf("CPU ours / baseline: %.2f %%\n", cpu[0] > 0 ? 100.0 * cpu[1] / cpu[0] : 0.0);

    for (const Wait& wait : waits) {
        std::vector<double> delays;
        for (int run = 0; run < short_runs; ++run) {
            *stamp = 0;
            wait.wait(child + L"300");
            const double returned = counter_seconds();
            if (*stamp > 0) {
                delays.push_back((returned - *stamp) * 1000.0);
            }
        }
        if (delays.empty()) {
            std::printf("%-20s no stamp received\n", wait.name);
            continue;
        }
        std::printf("%-20s exit-to-return delay over %zu runs: median %.1f ms, min %.1f ms, max %.1f ms\n",
                    wait.name, delays.size(), median(delays), *std::min_element(delays.begin(), delays.end()),
                    *std::max_element(delays.begin(), delays.end()));
        std::fflush(stdout);
    }
    DestroyWindow(window);
    return 0;
}
