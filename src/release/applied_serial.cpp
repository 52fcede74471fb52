#include "release/applied_serial.h"

#include <windows.h>

#include <string>

#include "services/file_helpers.h"
#include "services/locations.h"
#include "services/system_error_text.h"
#include "services/text_file.h"

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

AppliedSerial from_legacy_file() {
    if (!file_present(kAppliedSerialFile)) {
        return AppliedSerial{};
    }
    try {
        TextFile file;
        file.open_for_reading(kAppliedSerialFile);
        const std::wstring text = file.read_all();
        return applied_serial_from_legacy_file(std::string(text.begin(), text.end()));
    } catch (const OperationError&) {
        // Anyone could hold or spoil that file: it proves nothing either way.
        return AppliedSerial{};
    }
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
