#include "services/text_file.h"

#include "services/file_helpers.h"
#include "services/system_error_text.h"

TextFile::~TextFile() { let_go(); }

void TextFile::open_for_writing(const std::wstring& path) {
    let_go();
    file_ = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                        nullptr);
    if (file_ == INVALID_HANDLE_VALUE) {
        throw last_system_error();
    }
}

void TextFile::open_for_reading(const std::wstring& path) {
    let_go();
    file_ = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file_ == INVALID_HANDLE_VALUE) {
        throw last_system_error();
    }
}

void TextFile::write(const std::wstring& text) {
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

std::wstring TextFile::read_all() {
    if (file_ == INVALID_HANDLE_VALUE) {
        throw system_error(ERROR_INVALID_HANDLE);
    }
    std::string bytes;
    char buffer[4096];
    DWORD read = 0;
    for (;;) {
        if (!ReadFile(file_, buffer, sizeof buffer, &read, nullptr)) {
            throw last_system_error();
        }
        if (read == 0) {
            break;
        }
        bytes.append(buffer, read);
    }
    return text_from_ansi(bytes);
}

void TextFile::close() {
    if (file_ == INVALID_HANDLE_VALUE) {
        throw system_error(ERROR_INVALID_HANDLE);
    }
    HANDLE closing = file_;
    file_ = INVALID_HANDLE_VALUE;
    if (!CloseHandle(closing)) {
        throw last_system_error();
    }
}

void TextFile::let_go() {
    if (file_ != INVALID_HANDLE_VALUE) {
        CloseHandle(file_);
        file_ = INVALID_HANDLE_VALUE;
    }
}
