// What watching a fetch costs the tool: a child that writes a file slowly
// (a fetch at 64 KiB/s) is waited for twice in one run, by the old runner's
// polling loop (bench/wait_bench.cpp) and by run_watched_fetch with bounds,
// which wakes every kFetchLookMs to read the copy's length. Figures: CPU
// seconds of this process during each wait, and their ratio.
//
//   bench_fetch_watch [seconds, default 10]
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "fetch_watch/watched_fetch.h"
#include "services/message_pump.h"
#include "bench_clock.h"

namespace {

// The child: appends 6.4 KiB every 100 ms to `path` for `seconds`.
int run_child(const wchar_t* path, int seconds) {
    HANDLE file = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS, 0,
                              nullptr);
    const std::vector<char> block(6554, 'x');
    for (int step = 0; step < seconds * 10; ++step) {
        DWORD written = 0;
        WriteFile(file, block.data(), static_cast<DWORD>(block.size()), &written, nullptr);
        Sleep(100);
    }
    CloseHandle(file);
    return 0;
}

void poll_until_exit(const std::wstring& command_line) {
    std::vector<wchar_t> line(command_line.begin(), command_line.end());
    line.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started)) {
        return;
    }
    CloseHandle(started.hThread);
    DWORD exit_code = STILL_ACTIVE;
    while (exit_code == STILL_ACTIVE) {
        GetExitCodeProcess(started.hProcess, &exit_code);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            dispatch_window_message(message);
        }
    }
    CloseHandle(started.hProcess);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 4 && std::wcscmp(argv[1], L"child") == 0) {
        return run_child(argv[2], _wtoi(argv[3]));
    }
    const int seconds = argc > 1 ? _wtoi(argv[1]) : 10;
    wchar_t own[MAX_PATH];
    GetModuleFileNameW(nullptr, own, MAX_PATH);
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    const std::wstring copy = std::wstring(folder) + L"zunaveri_bench_fetch.bin";
    const std::wstring child = L"\"" + std::wstring(own) + L"\" child \"" + copy + L"\" " + std::to_wstring(seconds);

    double before = cpu_seconds();
    poll_until_exit(child);
    const double poll = cpu_seconds() - before;
    std::printf("baseline poll loop    %d s fetch: CPU %.3f s\n", seconds, poll);
    std::fflush(stdout);

    before = cpu_seconds();
    const WatchedFetch ran = run_watched_fetch(child, copy, bounds_of(std::uint64_t{1} << 30));
    const double watched = cpu_seconds() - before;
    std::printf("watched fetch         %d s fetch: CPU %.3f s, %llu bytes, stopped: %s\n", seconds, watched,
                static_cast<unsigned long long>(ran.bytes), ran.stop ? "yes" : "no");
    std::printf("CPU watched / baseline: %.2f %% (at most 2 %%)\n", poll > 0 ? 100.0 * watched / poll : 0.0);
    DeleteFileW(copy.c_str());
    return 0;
}
