#include "install/address_file.h"

#include "services/file_helpers.h"
#include "services/system_error_text.h"

AddressFileWriter::~AddressFileWriter() { let_go(); }

void AddressFileWriter::open(const std::wstring& path) {
    let_go();
    file_ = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                        nullptr);
    if (file_ == INVALID_HANDLE_VALUE) {
        throw last_system_error();
    }
}

void AddressFileWriter::write(const std::wstring& text) {
    if (file_ == INVALID_HANDLE_VALUE) {
        throw system_error(ERROR_INVALID_HANDLE);
    }
    const std::string bytes = ansi_bytes(text);
    DWORD written = 0;
    if (!bytes.empty() && (!WriteFile(file_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
                           written != bytes.size())) {
        throw last_system_error();
    }
}

void AddressFileWriter::close() {
    if (file_ == INVALID_HANDLE_VALUE) {
        throw system_error(ERROR_INVALID_HANDLE);
    }
    HANDLE closing = file_;
    file_ = INVALID_HANDLE_VALUE;
    const bool flushed = FlushFileBuffers(closing) != FALSE;
    const DWORD flush_error = GetLastError();
    if (!CloseHandle(closing)) {
        throw last_system_error();
    }
    if (!flushed) {
        throw system_error(flush_error);
    }
}

void AddressFileWriter::let_go() {
    if (file_ != INVALID_HANDLE_VALUE) {
        CloseHandle(file_);
        file_ = INVALID_HANDLE_VALUE;
    }
}
