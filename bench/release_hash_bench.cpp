// SHA-256 of one file as the release check computes it (CNG, read in
// chunks): the seconds, the rate and the process's peak memory. A console
// program, run under Wine by bench/release_hash.sh beside sha256sum.
//
//   bench_release_hash FILE
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <string>

#include "release/release_verifier.h"
#include "bench_clock.h"

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_release_hash FILE\n");
        return 2;
    }
    PROCESS_MEMORY_COUNTERS before{};
    GetProcessMemoryInfo(GetCurrentProcess(), &before, sizeof before);
    const double start = counter_seconds();
    HeldFile hold;
    Sha256Digest digest{};
    try {
        digest = sha256_of_file(argv[1], hold);
    } catch (const OperationError& error) {
        std::fwprintf(stderr, L"%ls\n", error.description().c_str());
        return 1;
    }
    const double seconds = counter_seconds() - start;
    LARGE_INTEGER size;
    GetFileSizeEx(hold.handle(), &size);
    PROCESS_MEMORY_COUNTERS after{};
    GetProcessMemoryInfo(GetCurrentProcess(), &after, sizeof after);
    std::string hex;
    for (const std::uint8_t byte : digest) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", byte);
        hex += pair;
    }
    const double mib = static_cast<double>(size.QuadPart) / (1024.0 * 1024.0);
    std::printf("%s\n", hex.c_str());
    std::printf("ours: %.3f s for %.0f MiB (%.0f MiB/s); peak working set %.1f MiB (%.1f MiB before hashing), "
                "peak commit %.1f MiB\n",
                seconds, mib, mib / seconds, static_cast<double>(after.PeakWorkingSetSize) / (1024.0 * 1024.0),
                static_cast<double>(before.PeakWorkingSetSize) / (1024.0 * 1024.0),
                static_cast<double>(after.PeakPagefileUsage) / (1024.0 * 1024.0));
    return 0;
}
