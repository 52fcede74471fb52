#include "update/update_decision.h"

namespace {
constexpr std::int64_t kTicksPerMinute = 60LL * 10000000LL;

std::int64_t whole_minutes(std::int64_t ticks) {
    // Rounded down also for times before the epoch of the count.
    return ticks >= 0 ? ticks / kTicksPerMinute : -((-ticks + kTicksPerMinute - 1) / kTicksPerMinute);
}
}  // namespace

std::int64_t minute_boundaries(std::int64_t fetched, std::int64_t installed) {
    return whole_minutes(installed) - whole_minutes(fetched);
}

std::wstring trimmed_address(const std::wstring& content) {
    const wchar_t* const kBlanks = L" \t\r\n";
    const std::size_t first = content.find_first_not_of(kBlanks);
    if (first == std::wstring::npos) {
        return std::wstring();
    }
    return content.substr(first, content.find_last_not_of(kBlanks) - first + 1);
}
