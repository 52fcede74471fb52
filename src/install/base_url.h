// The line that points the installed application at this server.
#pragma once

#include <string>

inline std::wstring base_url_line(const std::wstring& address) {
    return L"app.baseURL = 'http://" + address + L":8090/'";
}

// The placeholder that the application package leaves in its .env.
inline const std::wstring kAddressToken = L"#IP_DO_SERVIDOR";
