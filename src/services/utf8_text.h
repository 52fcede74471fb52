// UTF-8 of wide text, for what the tool writes as bytes (URLs, the log).
// Pure: no <windows.h>.
#pragma once

#include <string>
#include <string_view>

// UTF-8 of UTF-16 text (UTF-32 where wchar_t is 32 bits, as on Linux); a
// lone surrogate or a value beyond U+10FFFF becomes U+FFFD.
std::string utf8_of(std::wstring_view text);
