// What one operator's log line costs the tool, beside what the same bytes
// cost when appended to a file that stays open (the least any log pays).
//
// Three figures, each the median and the 90th percentile of many calls:
//   - baseline: WriteFile of a line of the same size to a handle kept open
//     for append;
//   - a written line: operator_log::write of a new text (lock, open for
//     append, size and attribute, write, close);
//   - a repeated check: the log calls of one check with the same result as
//     the check before (the password noted, the reused copy noted, the
//     check), what every tick at the update mark pays (formatting, masking
//     and the repeat rule; nothing reaches the disk).
// The log is the real one of the prefix it runs in
// (C:\ProgramData\Zunaveri\instalador.log); the baseline file lies beside it.
//
//   bench_operator_log [written lines, default 2000] [repeated checks, default 20000]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "oplog/operator_log.h"

namespace {

double counter_us() {
    LARGE_INTEGER frequency;
    LARGE_INTEGER now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1e6 / static_cast<double>(frequency.QuadPart);
}

template <typename Call>
std::vector<double> timed(int count, Call&& call) {
    std::vector<double> times;
    times.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const double started = counter_us();
        call(i);
        times.push_back(counter_us() - started);
    }
    std::sort(times.begin(), times.end());
    return times;
}

void print(const char* what, const std::vector<double>& times) {
    std::printf("%-52s median %8.1f us   p90 %8.1f us   (%zu calls)\n", what, times[times.size() / 2],
                times[times.size() * 9 / 10], times.size());
}

// A line as long as a check line in the log.
std::wstring text_of(int i) {
    return L"verificação: marcador do servidor 2025-03-04 14:00:05 (baixado agora), instalado 2015-03-06 "
           L"14:00:05, diferença -5259600 min: sem atualização " +
           std::to_wstring(i);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int lines = argc > 1 ? _wtoi(argv[1]) : 2000;
    const int checks = argc > 2 ? _wtoi(argv[2]) : 20000;

    operator_log::add_secret(L"trocar-1234");
    operator_log::begin(L"bench_operator_log.exe /atualizar", L"bench", 3600LL * 1000);

    wchar_t program_data[MAX_PATH];
    GetEnvironmentVariableW(L"ProgramData", program_data, MAX_PATH);
    const std::wstring baseline_path = std::wstring(program_data) + L"\\Zunaveri\\bench-baseline.log";
    HANDLE baseline = CreateFileW(baseline_path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    if (baseline == INVALID_HANDLE_VALUE) {
        std::printf("cannot open %ls\n", baseline_path.c_str());
        return 1;
    }
    const std::string bytes = "2025-03-04 14:05:09 [4711] atualizacao " + std::string(150, 'x') + "\r\n";
    print("baseline: WriteFile to a handle kept open", timed(lines, [&](int) {
              DWORD written = 0;
              WriteFile(baseline, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
          }));
    CloseHandle(baseline);
    DeleteFileW(baseline_path.c_str());

    print("operator_log::write, a new line each time", timed(lines, [](int i) { operator_log::write(text_of(i)); }));

    const std::int64_t fetched = 133537247991234567;
    const std::int64_t installed = 125910720000000000;
    operator_log::check(fetched, installed, -12, false);
    print("a check's log calls, the same result again", timed(checks, [&](int) {
              operator_log::add_secret(L"trocar-1234");
              operator_log::fetch_reused(L"ultima_atualizacao.txt");
              operator_log::check(fetched, installed, -12, false);
          }));
    return 0;
}
