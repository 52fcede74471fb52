// Stand-in for wget.exe in tests and the demo. A Win32 program cannot wait
// for a Unix child under Wine, so this PE program checks the arguments the
// tool gave it, records them, reads the start-up file GNU wget for Windows
// would read (wget_startup_file.h) and records which, starts the Unix helper
// named by ZUNAVERI_WGET_HELPER (which runs the real wget against the local
// FTP server), waits for the helper's done-file and exits with wget's exit
// code. While it runs it holds a lock on a file of its own, which Wine shows
// to Unix programs as an fcntl lock: once the stand-in is ended, even by
// TerminateProcess, the lock goes, and the helper stops the real wget.
#include <windows.h>

#include "../tools/start_under_load.h"
#include "record.h"
#include "wget_startup_file.h"

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
    // The tool passes exactly: "--no-config" (keyed builds), the URL, "-P", the target folder.
    const bool no_config = argc > 1 && std::wcscmp(argv[1], L"--no-config") == 0;
    wchar_t** const args = argv + (no_config ? 1 : 0);
    if (argc - (no_config ? 1 : 0) != 4 || std::wcsncmp(args[1], L"ftp://", 6) != 0 ||
        std::wcscmp(args[2], L"-P") != 0) {
        return 2;
    }
    const std::wstring helper = environment(L"ZUNAVERI_WGET_HELPER");
    if (helper.empty()) {
        return 2;
    }

    const StartupFile startup =
        no_config ? StartupFile{} : find_startup_file(environment(L"WGETRC"), environment(L"HOME"));
    if (startup.kind == StartupFile::Kind::MissingWgetrc) {
        // As wget: "WGETRC points to ..., which couldn't be accessed", generic error.
        append_record("wgetrc: " + utf8(startup.path) + " (não existe)");
        return 1;
    }
    append_record("wgetrc: " + (startup.kind == StartupFile::Kind::Found ? utf8(startup.path) : "nenhum"));
    std::string output;
    if (startup.kind == StartupFile::Kind::Found) {
        output = output_document_of(startup.path);
        if (!output.empty() && output != "-") {
            // Relative to the working folder, as wget opens it.
            wchar_t full[MAX_PATH];
            const DWORD length = GetFullPathNameW(wide(output).c_str(), MAX_PATH, full, nullptr);
            output = length > 0 && length < MAX_PATH ? unix_path(full) : std::string();
            if (output.empty()) {
                append_record("output_document sem caminho Unix");
                return 3;  // wget's file I/O error
            }
        }
    }

    wchar_t done_name[MAX_PATH];
    std::swprintf(done_name, MAX_PATH, L"C:\\zunaveri-wget-%lu.done", GetCurrentProcessId());
    DeleteFileW(done_name);
    wchar_t alive_name[MAX_PATH];
    std::swprintf(alive_name, MAX_PATH, L"C:\\zunaveri-wget-%lu.alive", GetCurrentProcessId());
    HANDLE alive = CreateFileW(alive_name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    OVERLAPPED whole{};
    if (alive == INVALID_HANDLE_VALUE || !LockFileEx(alive, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &whole)) {
        append_record("alive file not locked");
        return 3;
    }
    const auto finish = [&](int code) {
        CloseHandle(alive);
        DeleteFileW(alive_name);
        return code;
    };
    const std::string target = unix_path(args[3]);
    const std::string done = unix_path(done_name);

    // The helper is a Unix program: Wine starts it, but gives back no handle to wait on.
    std::wstring command = L"\"" + helper + L"\" \"" + args[1] + L"\" \"" + wide(target) + L"\" \"" + wide(done) +
                           L"\" \"" + wide(unix_path(alive_name)) + L"\"";
    if (!output.empty()) {
        command += L" \"" + wide(output) + L"\"";
    }
    std::wstring writable = command;
    PROCESS_INFORMATION process{};
    if (!start_under_load(writable.data(), &process)) {
        append_record("helper did not start");
        return finish(3);
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
            return finish(read == 1 ? code : 1);
        }
        Sleep(50);
    }
    append_record("helper timed out");
    return finish(4);
}
