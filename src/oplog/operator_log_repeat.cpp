#include "oplog/operator_log_repeat.h"

#include <algorithm>

namespace operator_log {

std::wstring repeat_summary(std::uint64_t count, std::wstring_view outcome) {
    std::wstring out = L"mesmo resultado ";
    out += std::to_wstring(count);
    out += L" vezes: ";
    out += outcome;
    return out;
}

RepeatFilter::RepeatFilter(std::int64_t period_ms, std::size_t capacity)
    : period_ms_(period_ms), capacity_(std::max<std::size_t>(capacity, 1)) {}

std::vector<std::wstring> RepeatFilter::offer(std::wstring_view outcome, std::int64_t now_ms) {
    std::vector<std::wstring> lines;
    ++uses_;
    const auto found = std::find_if(entries_.begin(), entries_.end(),
                                    [&](const Entry& entry) { return entry.outcome == outcome; });
    if (found != entries_.end()) {
        found->last_use = uses_;
        ++found->unwritten;
        if (now_ms - found->written_at_ms >= period_ms_) {
            lines.push_back(repeat_summary(found->unwritten, outcome));
            found->unwritten = 0;
            found->written_at_ms = now_ms;
        }
        return lines;
    }
    if (entries_.size() >= capacity_) {
        const auto oldest = std::min_element(entries_.begin(), entries_.end(), [](const Entry& a, const Entry& b) {
            return a.last_use < b.last_use;
        });
        if (oldest->unwritten > 0) {
            lines.push_back(repeat_summary(oldest->unwritten, oldest->outcome));
        }
        entries_.erase(oldest);
    }
    entries_.push_back(Entry{std::wstring(outcome), now_ms, 0, uses_});
    lines.emplace_back(outcome);
    return lines;
}

std::vector<std::wstring> RepeatFilter::flush() {
    std::vector<std::wstring> lines;
    for (Entry& entry : entries_) {
        if (entry.unwritten > 0) {
            lines.push_back(repeat_summary(entry.unwritten, entry.outcome));
            entry.unwritten = 0;
        }
    }
    return lines;
}

}  // namespace operator_log
