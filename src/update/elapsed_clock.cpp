#include "update/elapsed_clock.h"

#include <cmath>
#include <cwctype>
#include <vector>

namespace {
std::vector<std::wstring> split_at_colons(const std::wstring& text) {
    std::vector<std::wstring> pieces;
    std::size_t start = 0;
    for (;;) {
        const std::size_t colon = text.find(L':', start);
        pieces.push_back(text.substr(start, colon == std::wstring::npos ? std::wstring::npos : colon - start));
        if (colon == std::wstring::npos) {
            return pieces;
        }
        start = colon + 1;
    }
}

// The numeric value of a field: its leading number (blanks skipped, an
// optional sign, digits, an optional fraction), rounded down; 0 when the
// field does not start with a number.
long long field_value(const std::wstring& field) {
    std::size_t i = 0;
    while (i < field.size() && field[i] == L' ') {
        ++i;
    }
    bool negative = false;
    if (i < field.size() && (field[i] == L'-' || field[i] == L'+')) {
        negative = field[i] == L'-';
        ++i;
    }
    double value = 0;
    while (i < field.size() && field[i] >= L'0' && field[i] <= L'9' && value < 1e15) {
        value = value * 10 + (field[i] - L'0');
        ++i;
    }
    if (i < field.size() && field[i] == L'.') {
        double scale = 0.1;
        for (++i; i < field.size() && field[i] >= L'0' && field[i] <= L'9'; ++i, scale /= 10) {
            value += (field[i] - L'0') * scale;
        }
    }
    return static_cast<long long>(std::floor(negative ? -value : value));
}
}  // namespace

bool is_check_mark(const std::wstring& caption) { return caption == kCheckMark; }

std::wstring advanced_clock(const std::wstring& caption) {
    std::vector<std::wstring> pieces = split_at_colons(caption);
    while (pieces.size() < 3) {
        pieces.emplace_back(L"00");
    }
    std::wstring& hours = pieces[0];
    std::wstring& minutes = pieces[1];
    std::wstring& seconds = pieces[2];

    if (field_value(seconds) >= 59) {
        minutes = std::to_wstring(field_value(minutes) + 1);
        seconds = L"00";
    } else {
        seconds = std::to_wstring(field_value(seconds) + 1);
    }
    if (field_value(minutes) > 59) {
        hours = std::to_wstring(field_value(hours) + 1);
        minutes = L"00";
    }
    return hours + L":" + minutes + L":" + seconds;
}
