#include "services/system_error_text.h"

std::wstring system_error_description(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text;
    if (length != 0 && buffer != nullptr) {
        text.assign(buffer, length);
    }
    if (buffer != nullptr) {
        LocalFree(buffer);
    }
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) {
        text.pop_back();
    }
    if (text.empty()) {
        text = L"Erro " + std::to_wstring(code);
    }
    return text;
}

OperationError system_error(DWORD code) {
    return OperationError(code, system_error_description(code));
}

OperationError last_system_error() {
    return system_error(GetLastError());
}

OperationError last_system_error_or(DWORD fallback) {
    const DWORD code = GetLastError();
    return system_error(code != ERROR_SUCCESS ? code : fallback);
}
