#include "services/text_file.h"

#include "services/file_helpers.h"
#include "services/system_error_text.h"

TextFile::~TextFile() { let_go(); }

void TextFile::open_for_writing(const std::wstring& path) {
    let_go();
    file_ = LinkFreeFile(path, GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS);
}

void TextFile::open_for_reading(const std::wstring& path) {
    let_go();
    file_ = LinkFreeFile(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
}

void TextFile::write(const std::wstring& text) {
    if (!file_.is_open()) {
        throw system_error(ERROR_INVALID_HANDLE);
    }
    const std::string bytes = ansi_bytes(text);
    DWORD written = 0;
    if (!bytes.empty() &&
        (!WriteFile(file_.handle(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
         written != bytes.size())) {
        throw last_system_error();
    }
}

std::wstring TextFile::read_all() {
    if (!file_.is_open()) {
        throw system_error(ERROR_INVALID_HANDLE);
    }
    std::string bytes;
    char buffer[4096];
    DWORD read = 0;
    for (;;) {
        if (!ReadFile(file_.handle(), buffer, sizeof buffer, &read, nullptr)) {
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
    if (!file_.is_open()) {
        throw system_error(ERROR_INVALID_HANDLE);
    }
    const bool closed = file_.close_file();
    const DWORD error = GetLastError();
    file_.let_go();
    if (!closed) {
        throw system_error(error);
    }
}

void TextFile::let_go() { file_.let_go(); }
