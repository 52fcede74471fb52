#include "services/utf8_text.h"

#include <cstdint>
#include <type_traits>

namespace {

void append_utf8(std::string& out, std::uint32_t code_point) {
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

// The value of one code unit. wchar_t is an unsigned 16-bit type on Windows
// and a signed 32-bit one on Linux: read through the unsigned type of its
// own width, a unit is a plain count on both, and a negative one on Linux
// lies above U+10FFFF (and is replaced below).
std::uint32_t code_unit(wchar_t unit) { return static_cast<std::make_unsigned_t<wchar_t>>(unit); }

}  // namespace

std::string utf8_of(std::wstring_view text) {
    constexpr std::uint32_t kReplacement = 0xFFFD;
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t unit = code_unit(text[i]);
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            const std::uint32_t next = i + 1 < text.size() ? code_unit(text[i + 1]) : 0;
            if (next >= 0xDC00 && next <= 0xDFFF) {
                unit = 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00);
                ++i;
            } else {
                unit = kReplacement;
            }
        } else if ((unit >= 0xDC00 && unit <= 0xDFFF) || unit > 0x10FFFF) {
            unit = kReplacement;
        }
        append_utf8(out, unit);
    }
    return out;
}
