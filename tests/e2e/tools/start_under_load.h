// CreateProcessW for the test programs. Under a loaded Wine a start
// sometimes fails with ERROR_INTERNAL_ERROR (the child died while Wine set
// it up); the rig tries such a start again instead of failing a test for it.
#pragma once

#include <windows.h>

inline BOOL start_under_load(wchar_t* command_line, PROCESS_INFORMATION* process) {
    for (int attempt = 0;; ++attempt) {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        *process = PROCESS_INFORMATION{};
        if (CreateProcessW(nullptr, command_line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                           process)) {
            return TRUE;
        }
        if (GetLastError() != ERROR_INTERNAL_ERROR || attempt == 2) {
            return FALSE;
        }
        Sleep(200);
    }
}
