#include "services/socket_checks.h"

#include <cstring>

std::uint8_t byte_baixo(std::uint16_t value) { return static_cast<std::uint8_t>(value & 0xFFu); }
std::uint8_t byte_alto(std::uint16_t value) { return static_cast<std::uint8_t>((value >> 8) & 0xFFu); }

namespace {
// A number as the classic number-to-text conversion writes it: one leading
// blank in the place of the sign, or the minus sign.
std::wstring with_sign_place(int value) {
    return value < 0 ? std::to_wstring(value) : L" " + std::to_wstring(value);
}
}  // namespace

std::optional<std::wstring> startup_record_problem(std::uint16_t version, std::int16_t max_sockets) {
    if (max_sockets < kMinimumSockets) {
        return L" Esta aplicação requer um minimo de " + std::to_wstring(kMinimumSockets) + L" sockets suportados.";
    }
    const unsigned major = byte_baixo(version);
    const unsigned minor = byte_alto(version);
    if (major < 1 || (major == 1 && minor < 1)) {
        return L"A versao Sockets " + std::to_wstring(major) + L"." + std::to_wstring(minor) +
               L" não é suportada por 32-bit Windows Sockets.";
    }
    return std::nullopt;
}

std::wstring startup_failed_message() { return L"32-bit Windows Socket não esta respondendo."; }

std::wstring host_name_failed_message(int last_error) {
    return L"Ocorre um erro de Socket : " + with_sign_place(last_error) + L" , não é possivel obter nome do Host.";
}

std::wstring host_lookup_failed_message() {
    return L"Windows Sockets não esta respondendo. " + std::wstring(L"não é possivel obter nome do Host");
}

std::wstring cleanup_failed_message() { return L" Erro de Socket."; }

std::wstring address_text(const unsigned char* bytes, int length) {
    std::wstring text;
    for (int i = 0; i < length; ++i) {
        if (i > 0) {
            text += L'.';
        }
        text += std::to_wstring(static_cast<unsigned>(bytes[i]));
    }
    return text;
}

std::string trimmed_host_name(const char* buffer, int buffer_size) {
    const void* nul = std::memchr(buffer, '\0', static_cast<std::size_t>(buffer_size));
    const std::size_t length =
        nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - buffer) : static_cast<std::size_t>(buffer_size);
    std::string name(buffer, length);
    const auto first = name.find_first_not_of(' ');
    if (first == std::string::npos) {
        return std::string();
    }
    const auto last = name.find_last_not_of(' ');
    return name.substr(first, last - first + 1);
}
