#include "registration/updater_processes.h"

#include <windows.h>
#include <tlhelp32.h>

#include <optional>
#include <vector>

#include "services/system_error_text.h"

namespace {

constexpr DWORD kEndWaitMs = 10000;

std::vector<DWORD> other_process_ids() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        throw last_system_error();
    }
    std::vector<DWORD> ids;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        if (entry.th32ProcessID != GetCurrentProcessId() && entry.th32ProcessID != 0) {
            ids.push_back(entry.th32ProcessID);
        }
    }
    CloseHandle(snapshot);
    return ids;
}

std::optional<std::wstring> image_of(HANDLE process) {
    std::vector<wchar_t> buffer(32768);
    DWORD length = static_cast<DWORD>(buffer.size());
    if (!QueryFullProcessImageNameW(process, 0, buffer.data(), &length)) {
        return std::nullopt;
    }
    return std::wstring(buffer.data(), length);
}

}  // namespace

int end_processes_running(const std::wstring& image) {
    int ended = 0;
    std::optional<OperationError> failure;
    for (const DWORD id : other_process_ids()) {
        HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
        if (process == nullptr) {
            continue;  // gone meanwhile, or not one this process may end: not the tool's
        }
        const std::optional<std::wstring> path = image_of(process);
        if (path && CompareStringOrdinal(path->c_str(), -1, image.c_str(), -1, TRUE) == CSTR_EQUAL) {
            if (TerminateProcess(process, 1) && WaitForSingleObject(process, kEndWaitMs) == WAIT_OBJECT_0) {
                ++ended;
            } else if (!failure) {
                failure = last_system_error_or(ERROR_TIMEOUT);
            }
        }
        CloseHandle(process);
    }
    if (failure) {
        throw *failure;
    }
    return ended;
}
