// Stand-in for wget.exe in tests and the demo. A Win32 program cannot wait
// for a Unix child under Wine, so this PE program checks the arguments the
// tool gave it, records them, starts the Unix helper named by
// ZUNAVERI_WGET_HELPER (which runs the real wget against the local FTP
// server), waits for the helper's done-file and exits with wget's exit code.
#include <windows.h>

#include "../tools/start_under_load.h"
#include "record.h"

#include <cstdio>
#include <cwchar>
#include <string>

namespace {
const wchar_t kRecord[] = L"C:\\zunaveri-wget.log";
constexpr DWORD kHelperTimeoutMs = 180000;

void append_record(const std::string& line) { append_to_record(kRecord, line + "\n"); }

// The arguments as one JSON array of strings, for the record.
std::string json_array(wchar_t** argv, int argc) {
    std::string out = "[";
    for (int i = 0; i < argc; ++i) {
        out += i ? ",\"" : "\"";
        for (char c : utf8(argv[i])) {
            if (c == '"' || c == '\\') {
                out += '\\';
            }
            out += c;
        }
        out += '"';
    }
    return out + "]";
}

// Unix path of a Windows path, through Wine's own export.
std::string unix_path(const std::wstring& windows_path) {
    using ToUnix = char*(CDECL*)(LPCWSTR);
    const auto to_unix = reinterpret_cast<ToUnix>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!to_unix) {
        return std::string();
    }
    char* path = to_unix(windows_path.c_str());
    std::string result = path ? path : "";
    if (path) {
        HeapFree(GetProcessHeap(), 0, path);
    }
    return result;
}

std::wstring wide(const std::string& text) {
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    std::wstring out(static_cast<std::size_t>(size > 0 ? size - 1 : 0), L'\0');
    if (size > 1) {
        MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, out.data(), size);
    }
    return out;
}

std::wstring environment(const wchar_t* name) {
    wchar_t value[4096] = {};
    const DWORD length = GetEnvironmentVariableW(name, value, 4096);
    return length > 0 && length < 4096 ? std::wstring(value, length) : std::wstring();
}
}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv) {
        return 2;
    }
    append_record(json_array(argv + 1, argc - 1));
    append_record("line: " + utf8(GetCommandLineW()));
    // The tool passes exactly: the URL, "-P", the target folder; a keyed
    // build puts "--no-config" first.
    if (argc == 5 && std::wcscmp(argv[1], L"--no-config") == 0) {
        ++argv;
        --argc;
    }
    if (argc != 4 || std::wcsncmp(argv[1], L"ftp://", 6) != 0 || std::wcscmp(argv[2], L"-P") != 0) {
        return 2;
    }
    const std::wstring helper = environment(L"ZUNAVERI_WGET_HELPER");
    if (helper.empty()) {
        return 2;
    }

    wchar_t done_name[MAX_PATH];
    std::swprintf(done_name, MAX_PATH, L"C:\\zunaveri-wget-%lu.done", GetCurrentProcessId());
    DeleteFileW(done_name);
    const std::string target = unix_path(argv[3]);
    const std::string done = unix_path(done_name);

    // The helper is a Unix program: Wine starts it, but gives back no handle to wait on.
    const std::wstring command =
        L"\"" + helper + L"\" \"" + argv[1] + L"\" \"" + wide(target) + L"\" \"" + wide(done) + L"\"";
    std::wstring writable = command;
    PROCESS_INFORMATION process{};
    if (!start_under_load(writable.data(), &process)) {
        append_record("helper did not start");
        return 3;
    }
    if (process.hProcess) {
        CloseHandle(process.hProcess);
    }
    if (process.hThread) {
        CloseHandle(process.hThread);
    }

    for (DWORD waited = 0; waited < kHelperTimeoutMs; waited += 50) {
        FILE* file = _wfopen(done_name, L"rb");
        if (file) {
            int code = 1;
            const int read = std::fscanf(file, "%d", &code);
            std::fclose(file);
            DeleteFileW(done_name);
            return read == 1 ? code : 1;
        }
        Sleep(50);
    }
    append_record("helper timed out");
    return 4;
}
