#include "updater_home/moving_home.h"

#include <windows.h>

#include <vector>

#include "oplog/operator_log.h"
#include "services/file_helpers.h"
#include "services/locations.h"
#include "services/secured_files.h"
#include "services/security_descriptors.h"
#include "services/system_error_text.h"
#include "updater_home/home_rules.h"
#include "updater_home/updater_home.h"

using namespace locations;

namespace {

std::wstring own_program_path() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            throw last_system_error();
        }
        if (length < buffer.size()) {
            return std::wstring(buffer.data(), length);
        }
        buffer.resize(buffer.size() * 2);
    }
}

// Copies `source` into the home as `target` when the home has no such
// program yet: written whole under another name with the placed programs'
// security, then renamed in, never over a program already there (the home's
// own copy may be newer than this one). True when it was placed.
bool place_if_missing(const std::wstring& source, const std::wstring& target) {
    if (GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES) {
        return false;
    }
    HANDLE opened = CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
        throw last_system_error();
    }
    const std::wstring partial = target + L".parcial";
    DeleteFileW(partial.c_str());
    try {
        copy_into_new_file(opened, partial, kPlacedProgramSddl);
    } catch (...) {
        CloseHandle(opened);
        throw;
    }
    CloseHandle(opened);
    if (!MoveFileExW(partial.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = GetLastError();
        DeleteFileW(partial.c_str());
        if (error == ERROR_ALREADY_EXISTS) {
            return false;
        }
        throw system_error(error);
    }
    return true;
}

void start_home_updater() {
    std::wstring line = home_updater_command_line();
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(kHomeUpdater.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        kUpdaterHome.c_str(), &startup, &process)) {
        throw last_system_error();
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

}  // namespace

bool hand_over_to_updater_home() noexcept {
    try {
        const std::wstring self = own_program_path();
        ensure_updater_home();
        if (place_if_missing(self, kHomeUpdater)) {
            operator_log::write(L"atualizador levado para " + kHomeUpdater + L" (cópia de " + self + L")");
        }
        // Without wget.exe the home's updater only fails its fetches, each
        // with its log line: it is started all the same.
        const std::wstring wget = tool_folder() + L"\\" + kFtpClientName;
        try {
            if (place_if_missing(wget, kHomeWget)) {
                operator_log::write(L"wget.exe levado para " + kHomeWget + L" (cópia de " + wget + L")");
            }
        } catch (const OperationError& error) {
            operator_log::write(L"wget.exe não pôde ser levado para " + kHomeWget + L": " + error.description());
        }
        start_home_updater();
        operator_log::write(L"este atualizador não roda fora de " + kUpdaterHome + L": o de lá foi iniciado (" +
                            home_updater_command_line() + L")");
        return true;
    } catch (const OperationError& error) {
        operator_log::write(L"o atualizador não pôde ser levado para " + kUpdaterHome + L": " + error.description());
    } catch (...) {
        operator_log::write(L"o atualizador não pôde ser levado para a pasta própria: erro inesperado");
    }
    return false;
}
