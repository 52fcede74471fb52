#include "services/local_address.h"

#include <winsock2.h>
#include <windows.h>

#include "oplog/operator_log.h"
#include "services/program_title.h"
#include "services/socket_checks.h"

namespace {
void show_socket_message(const std::wstring& text) {
    operator_log::message_box(text);
    MessageBoxW(nullptr, text.c_str(), kProgramTitle, MB_OK);
}
}  // namespace

bool iniciar_sockets() {
    WSADATA record{};
    if (WSAStartup(kRequestedSocketsVersion, &record) != 0) {
        show_socket_message(startup_failed_message());
        return false;
    }
    const auto max_sockets = static_cast<std::int16_t>(record.iMaxSockets);
    if (const auto problem = startup_record_problem(record.wVersion, max_sockets)) {
        show_socket_message(*problem);
        return false;
    }
    return true;
}

void encerrar_sockets() {
    if (WSACleanup() != 0) {
        show_socket_message(cleanup_failed_message());
    }
}

std::wstring obter_ip_local() {
    if (!iniciar_sockets()) {
        return std::wstring();
    }
    char host_name[kHostNameBufferSize] = {};
    if (gethostname(host_name, kHostNameBufferSize) == SOCKET_ERROR) {
        const int code = WSAGetLastError();
        show_socket_message(host_name_failed_message(code));
        encerrar_sockets();
        return std::wstring();
    }
    const std::string name = trimmed_host_name(host_name, kHostNameBufferSize);
    const hostent* entry = gethostbyname(name.c_str());
    if (entry == nullptr) {
        show_socket_message(host_lookup_failed_message());
        encerrar_sockets();
        return std::wstring();
    }
    std::wstring address;
    if (entry->h_addr_list != nullptr && entry->h_addr_list[0] != nullptr && entry->h_length > 0) {
        address = address_text(reinterpret_cast<const unsigned char*>(entry->h_addr_list[0]), entry->h_length);
    }
    encerrar_sockets();
    return address;
}
