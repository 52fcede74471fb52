#include "services/command_line.h"

#include "services/utf8_text.h"

#include <algorithm>
#include <cstdint>
#include <type_traits>

#include "services/locations.h"

std::wstring quote_argument(std::wstring_view argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring_view::npos) {
        return std::wstring(argument);
    }
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t character : argument) {
        if (character == L'\\') {
            ++backslashes;
            continue;
        }
        if (character == L'"') {
            quoted.append(backslashes * 2 + 1, L'\\');
        } else {
            quoted.append(backslashes, L'\\');
        }
        backslashes = 0;
        quoted += character;
    }
    quoted.append(backslashes * 2, L'\\');
    quoted += L'"';
    return quoted;
}

namespace {
bool is_blank(wchar_t character) { return character == L' ' || character == L'\t'; }
}  // namespace

std::vector<std::wstring> split_command_line(std::wstring_view line) {
    std::vector<std::wstring> words;
    if (line.empty()) {
        return words;
    }
    std::size_t at = 0;
    const std::size_t size = line.size();

    // The program: no escapes at all.
    std::wstring program;
    if (line[0] == L'"') {
        at = 1;
        while (at < size && line[at] != L'"') {
            program += line[at++];
        }
        if (at < size) {
            ++at;  // the closing quote
        }
    } else {
        while (at < size && !is_blank(line[at])) {
            program += line[at++];
        }
    }
    words.push_back(program);

    while (at < size && is_blank(line[at])) {
        ++at;
    }
    if (at >= size) {
        return words;
    }
    words.emplace_back();

    int quotes = 0;  // 1 while inside quotes
    std::size_t backslashes = 0;
    while (at < size) {
        const wchar_t character = line[at];
        if (is_blank(character) && quotes == 0) {
            while (at < size && is_blank(line[at])) {
                ++at;
            }
            if (at < size) {
                words.emplace_back();
            }
            backslashes = 0;
        } else if (character == L'\\') {
            words.back() += L'\\';
            ++backslashes;
            ++at;
        } else if (character == L'"') {
            std::wstring& word = words.back();
            if (backslashes % 2 == 0) {
                word.erase(word.size() - backslashes / 2);
                ++quotes;
            } else {
                word.erase(word.size() - backslashes / 2 - 1);
                word += L'"';
            }
            ++at;
            backslashes = 0;
            // A run of quotes: every third one is a literal quote.
            while (at < size && line[at] == L'"') {
                if (++quotes == 3) {
                    word += L'"';
                    quotes = 0;
                }
                ++at;
            }
            if (quotes == 2) {
                quotes = 0;
            }
        } else {
            words.back() += character;
            backslashes = 0;
            ++at;
        }
    }
    return words;
}

namespace {

bool is_unreserved(unsigned char byte) {
    return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') ||
           byte == '-' || byte == '.' || byte == '_' || byte == '~';
}

}  // namespace

std::wstring percent_encoded(std::wstring_view text) {
    static const wchar_t kHex[] = L"0123456789ABCDEF";
    std::wstring encoded;
    for (const char raw : utf8_of(text)) {
        const auto byte = static_cast<unsigned char>(raw);
        if (is_unreserved(byte)) {
            encoded += static_cast<wchar_t>(byte);
        } else {
            encoded += L'%';
            encoded += kHex[byte >> 4];
            encoded += kHex[byte & 0x0F];
        }
    }
    return encoded;
}

std::wstring fetch_url(std::wstring_view user, std::wstring_view password, std::wstring_view domain,
                       std::wstring_view arquivo) {
    std::wstring url = L"ftp://";
    url += percent_encoded(user);
    url += L':';
    url += percent_encoded(password);
    url += L'@';
    url += locations::kFtpHostPrefix;
    url += domain;
    url += locations::kRemoteFolder;
    url += arquivo;
    return url;
}

namespace {
std::wstring client_in(std::wstring_view tool_folder) {
    std::wstring client(tool_folder);
    client += L'\\';
    client += locations::kFtpClientName;
    return quote_argument(client);
}
}  // namespace

std::wstring fetch_command_line(std::wstring_view tool_folder, std::wstring_view user, std::wstring_view password,
                                std::wstring_view domain, std::wstring_view arquivo) {
    return client_in(tool_folder) + L" " + quote_argument(fetch_url(user, password, domain, arquivo)) + L" -P " +
           locations::kTempFolderTitle;
}

std::wstring fetch_command_line_into(std::wstring_view tool_folder, std::wstring_view user,
                                     std::wstring_view password, std::wstring_view domain, std::wstring_view arquivo,
                                     std::wstring_view target_folder) {
    std::wstring folder(target_folder);
    folder += L'\\';
    // A folder ending in a separator is quoted with it doubled, as the splitting rules need.
    return client_in(tool_folder) + L" --no-config " + quote_argument(fetch_url(user, password, domain, arquivo)) +
           L" -P " + quote_argument(folder);
}

bool runs_batch_file(std::wstring_view line) {
    const std::vector<std::wstring> words = split_command_line(line);
    if (words.empty() || words[0].size() < 4) {
        return false;
    }
    std::wstring extension = words[0].substr(words[0].size() - 4);
    std::transform(extension.begin(), extension.end(), extension.begin(), [](wchar_t character) {
        return character >= L'A' && character <= L'Z' ? static_cast<wchar_t>(character - L'A' + L'a') : character;
    });
    return extension == L".bat" || extension == L".cmd";
}

std::wstring batch_interpreter_arguments(std::wstring_view line) {
    return L"cmd.exe /d /s /c \"" + std::wstring(line) + L"\"";
}
