// The clock text: any caption advances without a fault into one with three
// fields; a well-formed caption advances as a seconds counter would.
//
// Input: when byte 0 is even, bytes 1..8 give a count of seconds and the
// zero padding of each field, and the caption is that count written as the
// clock writes it (or padded). Otherwise the rest of the input is the
// caption, one character per byte (0xFF and two more bytes: any 16-bit unit).
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "update/elapsed_clock.h"

namespace {

struct Fields {
    unsigned long long hours, minutes, seconds;
};

Fields fields_of(unsigned long long count) { return {count / 3600, count / 60 % 60, count % 60}; }

// A field as the clock writes it: "00" for zero, the plain number otherwise.
std::wstring clock_field(unsigned long long value) { return value == 0 ? L"00" : std::to_wstring(value); }

std::wstring clock_text(unsigned long long count) {
    const Fields f = fields_of(count);
    return clock_field(f.hours) + L":" + clock_field(f.minutes) + L":" + clock_field(f.seconds);
}

// A field read back: digits only, at least one.
bool read_field(const std::wstring& text, unsigned long long& value) {
    if (text.empty() || text.size() > 19) {
        return false;
    }
    value = 0;
    for (const wchar_t c : text) {
        if (c < L'0' || c > L'9') {
            return false;
        }
        value = value * 10 + static_cast<unsigned long long>(c - L'0');
    }
    return true;
}

std::size_t colons_in(const std::wstring& text) {
    std::size_t colons = 0;
    for (const wchar_t c : text) {
        colons += c == L':' ? 1 : 0;
    }
    return colons;
}

void check_well_formed(const std::uint8_t* data, std::size_t size) {
    unsigned long long count = 0;
    for (std::size_t i = 1; i < 6 && i < size; ++i) {
        count = count << 8 | data[i];  // up to 2^40 seconds
    }
    const unsigned padding = size > 6 ? data[6] : 0;
    const Fields f = fields_of(count);
    const std::wstring hours = std::wstring(padding & 3, L'0') + std::to_wstring(f.hours);
    const std::wstring minutes = std::wstring(padding >> 2 & 1, L'0') + std::to_wstring(f.minutes);
    const std::wstring seconds = std::wstring(padding >> 3 & 1, L'0') + std::to_wstring(f.seconds);
    const std::wstring padded = hours + L":" + minutes + L":" + seconds;

    // As the clock writes it: exactly the next count's text.
    const std::wstring canonical = clock_text(count);
    FUZZ_CHECK(advanced_clock(canonical) == clock_text(count + 1));
    FUZZ_CHECK(is_check_mark(canonical) == (count == 901));

    // Padded: the fields read back as the next count's.
    const std::wstring next = advanced_clock(padded);
    const std::size_t first = next.find(L':');
    FUZZ_CHECK(first != std::wstring::npos);
    const std::size_t second = next.find(L':', first + 1);
    FUZZ_CHECK(second != std::wstring::npos);
    Fields got{};
    FUZZ_CHECK(read_field(next.substr(0, first), got.hours));
    FUZZ_CHECK(read_field(next.substr(first + 1, second - first - 1), got.minutes));
    FUZZ_CHECK(read_field(next.substr(second + 1), got.seconds));
    const Fields want = fields_of(count + 1);
    FUZZ_CHECK(got.hours == want.hours && got.minutes == want.minutes && got.seconds == want.seconds);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    if (data[0] % 2 == 0) {
        check_well_formed(data, size);
        return 0;
    }
    std::wstring caption;
    for (std::size_t i = 1; i < size; ++i) {
        if (data[i] == 0xFF && i + 2 < size) {
            caption += static_cast<wchar_t>(data[i + 1] << 8 | data[i + 2]);
            i += 2;
        } else {
            caption += static_cast<wchar_t>(data[i]);
        }
    }
    // Whatever the caption, the next one has exactly three fields, and so
    // does the one after it.
    const std::wstring next = advanced_clock(caption);
    FUZZ_CHECK(colons_in(next) == 2);
    FUZZ_CHECK(colons_in(advanced_clock(next)) == 2);
    return 0;
}
