#include "release/applied_serial.h"

#include <windows.h>

#include <string>

#include "oplog/operator_log.h"
#include "services/file_helpers.h"
#include "services/locations.h"
#include "services/secured_files.h"
#include "services/security_descriptors.h"
#include "services/system_error_text.h"

using namespace locations;

namespace {

// One view of the key for the 32-bit and the 64-bit build alike.
constexpr REGSAM kView = KEY_WOW64_64KEY;

struct Key {
    HKEY handle = nullptr;
    Key() = default;
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    ~Key() {
        if (handle != nullptr) {
            RegCloseKey(handle);
        }
    }
};

AppliedSerial unreadable(std::wstring problem) {
    return AppliedSerial{AppliedSerial::State::Unreadable, 0, std::move(problem)};
}

// Longer than any serial the file of earlier builds held.
constexpr DWORD kLegacyFileMaxBytes = 64;

struct OpenFile {
    HANDLE handle;
    explicit OpenFile(HANDLE opened) : handle(opened) {}
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    ~OpenFile() {
        if (handle != INVALID_HANDLE_VALUE) {
            CloseHandle(handle);
        }
    }
};

// Anyone may write in c:\xampp: the old file proves nothing unless no
// ordinary user could have written it (owner and DACL, by
// others_may_write_reason). Its security and its content are read through
// one handle, so the file cannot be swapped in between, and never through a
// link. Why it is ignored goes to the operator's log.
AppliedSerial from_legacy_file() {
    if (!file_present(kAppliedSerialFile)) {
        return AppliedSerial{};
    }
    const auto ignored = [](const std::wstring& why) {
        operator_log::write_outcome(kAppliedSerialFile + L" ignorado: " + why);
        return AppliedSerial{};
    };
    const OpenFile file(CreateFileW(kAppliedSerialFile.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (file.handle == INVALID_HANDLE_VALUE) {
        return ignored(system_error_description(GetLastError()));
    }
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(file.handle, &information)) {
        return ignored(system_error_description(GetLastError()));
    }
    if ((information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 || information.nNumberOfLinks > 1) {
        return ignored(L"é uma ligação para outro arquivo");
    }
    const std::optional<std::wstring> security = owner_and_dacl_text(file.handle);
    if (!security) {
        return ignored(L"sua segurança não pôde ser lida");
    }
    if (const std::optional<std::wstring> why = others_may_write_reason(*security, own_user_sid_text())) {
        return ignored(*why);
    }
    std::string text(kLegacyFileMaxBytes + 1, '\0');
    DWORD read = 0;
    if (!ReadFile(file.handle, text.data(), kLegacyFileMaxBytes + 1, &read, nullptr)) {
        return ignored(system_error_description(GetLastError()));
    }
    text.resize(read);
    return applied_serial_from_legacy_file(text);
}

// The registry's record alone; no record is State::None.
AppliedSerial read_registry_record() {
    Key key;
    LSTATUS status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kAppliedSerialKey.c_str(), 0, KEY_QUERY_VALUE | kView,
                                   &key.handle);
    if (status == ERROR_FILE_NOT_FOUND) {
        return AppliedSerial{};
    }
    if (status != ERROR_SUCCESS) {
        return unreadable(system_error_description(static_cast<DWORD>(status)));
    }
    DWORD type = REG_NONE;
    std::uint64_t serial = 0;
    DWORD size = sizeof serial;
    status = RegQueryValueExW(key.handle, kAppliedSerialValue.c_str(), nullptr, &type,
                              reinterpret_cast<BYTE*>(&serial), &size);
    if (status == ERROR_FILE_NOT_FOUND) {
        return AppliedSerial{};
    }
    if (status == ERROR_MORE_DATA || (status == ERROR_SUCCESS && (type != REG_QWORD || size != sizeof serial))) {
        return unreadable(L"o valor " + kAppliedSerialValue + L" não é um número de 64 bits");
    }
    if (status != ERROR_SUCCESS) {
        return unreadable(system_error_description(static_cast<DWORD>(status)));
    }
    return AppliedSerial{AppliedSerial::State::Recorded, serial, std::wstring()};
}

}  // namespace

AppliedSerial read_applied_serial() {
    AppliedSerial recorded = read_registry_record();
    return recorded.state == AppliedSerial::State::None ? from_legacy_file() : recorded;
}

void record_applied_serial(std::uint64_t serial) {
    // Against the registry alone: a serial taken over from the old file is
    // written into the registry too.
    const AppliedSerial recorded = read_registry_record();
    if (recorded.state == AppliedSerial::State::Unreadable) {
        throw OperationError(ERROR_INVALID_DATA, recorded.problem);
    }
    if (recorded.state == AppliedSerial::State::Recorded && recorded.serial >= serial) {
        return;
    }
    // The key inherits HKEY_LOCAL_MACHINE\SOFTWARE's security: users read only.
    Key key;
    LSTATUS status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, kAppliedSerialKey.c_str(), 0, nullptr,
                                     REG_OPTION_NON_VOLATILE, KEY_SET_VALUE | kView, nullptr, &key.handle, nullptr);
    if (status == ERROR_SUCCESS) {
        // One value of eight bytes: written whole or not at all.
        status = RegSetValueExW(key.handle, kAppliedSerialValue.c_str(), 0, REG_QWORD,
                                reinterpret_cast<const BYTE*>(&serial), sizeof serial);
    }
    if (status == ERROR_SUCCESS) {
        status = RegFlushKey(key.handle);
    }
    if (status != ERROR_SUCCESS) {
        throw system_error(static_cast<DWORD>(status));
    }
    // Best effort: the registry holds the record now, and a stale file would
    // only mislead whoever reads c:\xampp by hand.
    DeleteFileW(kAppliedSerialFile.c_str());
}
