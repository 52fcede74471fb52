#include "registration/uninstall_entry.h"

#include <windows.h>

#include <cstdint>
#include <string>

#include "deployment_values.h"
#include "release/applied_serial.h"
#include "services/command_line.h"
#include "services/locations.h"
#include "services/system_error_text.h"

using namespace locations;

namespace {

// The same key for a 32-bit and a 64-bit build, as the applied serial.
constexpr REGSAM kView = KEY_WOW64_64KEY;

void check(LSTATUS status) {
    if (status != ERROR_SUCCESS) {
        throw system_error(static_cast<DWORD>(status));
    }
}

void set_text(HKEY key, const wchar_t* name, const std::wstring& value) {
    check(RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                         static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))));
}

void set_number(HKEY key, const wchar_t* name, DWORD value) {
    check(RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value));
}

// What the home's files take, in KB rounded up.
DWORD home_size_kb() {
    std::uint64_t bytes = 0;
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((kUpdaterHome + L"*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
                bytes += (static_cast<std::uint64_t>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
            }
        } while (FindNextFileW(search, &entry));
        FindClose(search);
    }
    return static_cast<DWORD>((bytes + 1023) / 1024);
}

std::wstring applied_version() {
    const AppliedSerial applied = read_applied_serial();
    return applied.state == AppliedSerial::State::Recorded ? std::to_wstring(applied.serial) : L"";
}

}  // namespace

void write_uninstall_entry() {
    HKEY key = nullptr;
    check(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kUninstallKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_SET_VALUE | kView, nullptr, &key, nullptr));
    const std::wstring removal = quote_argument(kHomeUpdater) + L" /remover";
    try {
        set_text(key, L"DisplayName", kUninstallDisplayName);
        set_text(key, L"DisplayVersion", applied_version());
        set_text(key, L"Publisher", kPublisherName);
        set_text(key, L"InstallLocation", kUpdaterHome);
        set_text(key, L"DisplayIcon", kHomeUpdater + L",0");
        set_number(key, L"EstimatedSize", home_size_kb());
        set_number(key, L"NoModify", 1);
        set_number(key, L"NoRepair", 1);
        set_text(key, L"UninstallString", removal);
        set_text(key, L"QuietUninstallString", removal + L" /silencioso");
    } catch (...) {
        RegCloseKey(key);
        throw;
    }
    RegCloseKey(key);
}

bool uninstall_entry_present() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstallKey.c_str(), 0, KEY_QUERY_VALUE | kView, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

bool delete_uninstall_entry() {
    const LSTATUS status = RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kUninstallKey.c_str(), kView, 0);
    if (status == ERROR_FILE_NOT_FOUND) {
        return false;
    }
    check(status);
    return true;
}
