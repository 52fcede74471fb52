#include "services/run_mode.h"

std::wstring argument_text(const std::wstring& command_line) {
    std::size_t position = 0;
    const std::size_t length = command_line.size();
    if (length > 0 && command_line[0] == L'"') {
        // A quoted program name runs to the next quote; no escapes inside it.
        const std::size_t closing = command_line.find(L'"', 1);
        position = closing == std::wstring::npos ? length : closing + 1;
    } else {
        while (position < length && command_line[position] != L' ' && command_line[position] != L'\t') {
            ++position;
        }
    }
    while (position < length && (command_line[position] == L' ' || command_line[position] == L'\t')) {
        ++position;
    }
    return command_line.substr(position);
}

bool is_update_mode(const std::wstring& argument_text) { return argument_text == L"/atualizar"; }

RemovalRequest removal_request(const std::wstring& argument_text) {
    if (argument_text == L"/remover") {
        return RemovalRequest::asked;
    }
    return argument_text == L"/remover /silencioso" ? RemovalRequest::silent : RemovalRequest::none;
}
