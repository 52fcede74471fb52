// The start-up file GNU wget for Windows reads, found where it looks for
// one, and the setting of it the wget.exe stand-in carries out
// (output_document), so a test sees what a file planted there would do.
#pragma once

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

struct StartupFile {
    enum class Kind { None, Found, MissingWgetrc } kind = Kind::None;
    std::wstring path;
};

inline bool path_exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// wget.exe's own folder, as wget names it: without the last backslash.
inline std::wstring own_folder() {
    std::vector<wchar_t> path(32768);
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    const std::wstring program(path.data(), length < path.size() ? length : 0);
    const std::size_t slash = program.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : program.substr(0, slash);
}

// The file WGETRC names (even a missing one, which wget refuses), else
// ".wgetrc" in HOME (with no HOME: in wget.exe's folder), else "wget.ini"
// in wget.exe's folder. An empty WGETRC counts as none.
inline StartupFile find_startup_file(const std::wstring& wgetrc, const std::wstring& home) {
    using Kind = StartupFile::Kind;
    if (!wgetrc.empty()) {
        return {path_exists(wgetrc) ? Kind::Found : Kind::MissingWgetrc, wgetrc};
    }
    const std::wstring own = own_folder();
    const std::wstring user = (home.empty() ? own : home) + L"/.wgetrc";
    if (path_exists(user)) {
        return {Kind::Found, user};
    }
    const std::wstring ini = own + L"/wget.ini";
    if (path_exists(ini)) {
        return {Kind::Found, ini};
    }
    return {};
}

inline std::string trimmed(const std::string& text) {
    const std::size_t begin = text.find_first_not_of(" \t\r");
    const std::size_t end = text.find_last_not_of(" \t\r");
    return begin == std::string::npos ? std::string() : text.substr(begin, end - begin + 1);
}

// The output_document the file sets (the last one counts), empty for none.
// wget's rules: "name = value" lines, '#' comments, names compared without
// case, '-' and '_'; on Windows a file name's backslashes become slashes.
inline std::string output_document_of(const std::wstring& path) {
    std::string text;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        char chunk[4096];
        DWORD read = 0;
        while (ReadFile(file, chunk, sizeof chunk, &read, nullptr) && read > 0) {
            text.append(chunk, read);
        }
        CloseHandle(file);
    }
    std::string document;
    std::size_t begin = 0;
    while (begin < text.size()) {
        const std::size_t end = std::min(text.find('\n', begin), text.size());
        const std::string line = trimmed(text.substr(begin, end - begin));
        begin = end + 1;
        const std::size_t equals = line.find('=');
        if (line.empty() || line[0] == '#' || equals == std::string::npos) {
            continue;
        }
        std::string name;
        for (char c : line.substr(0, equals)) {
            if (c != '-' && c != '_' && c != ' ' && c != '\t') {
                name += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
            }
        }
        if (name == "outputdocument") {
            document = trimmed(line.substr(equals + 1));
            for (char& c : document) {
                c = c == '\\' ? '/' : c;
            }
        }
    }
    return document;
}
