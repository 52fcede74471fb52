// The fetch command line, split again by the Windows rules, gives back what
// went in: the client in the tool's folder, one URL whose decoded user and
// password are the ones typed, "-P" and the temporary folder. And any
// argument quoted on its own comes back whole.
//
// Input: fields separated by a zero byte: user, password, tool folder, and
// a last byte that picks the remote file. Inside a field a byte is one
// character, except that 0xFF and the next two bytes give any 16-bit unit
// (surrogates included) and 0xFE and the next three bytes any code point.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "services/command_line.h"
#include "services/locations.h"

namespace {

std::vector<std::wstring> fields_of(const std::uint8_t* data, std::size_t size) {
    std::vector<std::wstring> fields(1);
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t byte = data[i];
        if (byte == 0) {
            fields.emplace_back();
        } else if (byte == 0xFF && i + 2 < size) {
            const unsigned unit = (static_cast<unsigned>(data[i + 1]) << 8) | data[i + 2];
            i += 2;
            if (unit != 0) {
                fields.back() += static_cast<wchar_t>(unit);
            }
        } else if (byte == 0xFE && i + 3 < size) {
            const unsigned code_point =
                ((static_cast<unsigned>(data[i + 1]) << 16) | (static_cast<unsigned>(data[i + 2]) << 8) | data[i + 3]) %
                0x110000;
            i += 3;
            if (code_point != 0) {
                fields.back() += static_cast<wchar_t>(code_point);
            }
        } else {
            fields.back() += static_cast<wchar_t>(byte);
        }
    }
    return fields;
}

void append_utf8(std::string& out, unsigned code_point) {
    if (code_point < 0x80) {
        out += static_cast<char>(code_point);
    } else if (code_point < 0x800) {
        out += static_cast<char>(0xC0 | (code_point >> 6));
        out += static_cast<char>(0x80 | (code_point & 0x3F));
    } else if (code_point < 0x10000) {
        out += static_cast<char>(0xE0 | (code_point >> 12));
        out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code_point & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code_point >> 18));
        out += static_cast<char>(0x80 | ((code_point >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code_point & 0x3F));
    }
}

// What the server must receive for a typed text: its UTF-8, a pair of
// surrogates read as one character, a lone one as U+FFFD.
std::string expected_bytes(const std::wstring& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto unit = static_cast<unsigned>(text[i]);
        const bool high = unit >= 0xD800 && unit < 0xDC00;
        const bool low = unit >= 0xDC00 && unit < 0xE000;
        if (high && i + 1 < text.size() && static_cast<unsigned>(text[i + 1]) >= 0xDC00 &&
            static_cast<unsigned>(text[i + 1]) < 0xE000) {
            append_utf8(out, 0x10000 + ((unit - 0xD800) << 10) + (static_cast<unsigned>(text[i + 1]) - 0xDC00));
            ++i;
        } else if (high || low) {
            append_utf8(out, 0xFFFD);
        } else {
            append_utf8(out, unit);
        }
    }
    return out;
}

int hex_value(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;  // only upper-case digits are ever written
}

// Percent-decodes an encoded piece of the URL; fails on anything that is
// neither an unreserved character nor a well-formed escape.
std::string decoded(const std::wstring& encoded) {
    std::string out;
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        const wchar_t c = encoded[i];
        if (c == L'%') {
            FUZZ_CHECK(i + 2 < encoded.size());
            const int high = hex_value(encoded[i + 1]);
            const int low = hex_value(encoded[i + 2]);
            FUZZ_CHECK(high >= 0 && low >= 0);
            out += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            const bool unreserved = (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || (c >= L'0' && c <= L'9') ||
                                    c == L'-' || c == L'.' || c == L'_' || c == L'~';
            FUZZ_CHECK(unreserved);
            out += static_cast<char>(c);
        }
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::wstring> fields = fields_of(data, size);
    fields.resize(4);
    const std::wstring& user = fields[0];
    const std::wstring& password = fields[1];
    // A Windows path holds no double quote.
    std::wstring folder;
    for (const wchar_t c : fields[2]) {
        if (c != L'"') {
            folder += c;
        }
    }
    const std::size_t pick = fields[3].empty() ? 0 : static_cast<std::size_t>(fields[3][0]);
    const std::wstring& arquivo = locations::kRemoteFileSet[pick % locations::kRemoteFileSet.size()];
    const std::wstring domain = L"exemplo.invalid";

    const std::wstring line = fetch_command_line(folder, user, password, domain, arquivo);
    const std::vector<std::wstring> words = split_command_line(line);

    FUZZ_CHECK(words.size() == 4);
    FUZZ_CHECK(words[0] == folder + L"\\" + locations::kFtpClientName);
    FUZZ_CHECK(words[2] == L"-P");
    FUZZ_CHECK(words[3] == L"C:\\Windows\\Temp\\");

    const std::wstring& url = words[1];
    const std::wstring scheme = L"ftp://";
    FUZZ_CHECK(url.compare(0, scheme.size(), scheme) == 0);
    const std::size_t at = url.find(L'@');
    FUZZ_CHECK(at != std::wstring::npos);
    const std::wstring userinfo = url.substr(scheme.size(), at - scheme.size());
    const std::size_t colon = userinfo.find(L':');
    FUZZ_CHECK(colon != std::wstring::npos);
    FUZZ_CHECK(decoded(userinfo.substr(0, colon)) == expected_bytes(user));
    FUZZ_CHECK(decoded(userinfo.substr(colon + 1)) == expected_bytes(password));
    FUZZ_CHECK(url.substr(at + 1) == L"ftp." + domain + L"/public_html/instalador-zunaveri/" + arquivo);

    // The quoting itself, on texts that reach it unencoded: any argument
    // comes back whole, whatever blanks, quotes and backslashes it holds.
    const std::vector<std::wstring> quoted =
        split_command_line(L"wget.exe " + quote_argument(user) + L" " + quote_argument(password) + L"\t" +
                           quote_argument(fields[2]));
    FUZZ_CHECK(quoted.size() == 4);
    FUZZ_CHECK(quoted[1] == user && quoted[2] == password && quoted[3] == fields[2]);
    return 0;
}
