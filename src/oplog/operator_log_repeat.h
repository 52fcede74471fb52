// The operator's log rule against floods: an outcome that repeats (the
// update check at the mark finds the same thing on every tick) is written
// once, then at most once per period, as one line that counts the repeats.
// Pure: tested natively.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace operator_log {

// "mesmo resultado N vezes: " followed by the outcome.
std::wstring repeat_summary(std::uint64_t count, std::wstring_view outcome);

class RepeatFilter {
public:
    // `period_ms`: the shortest time between two lines for one outcome.
    // `capacity`: how many different outcomes are remembered (the one used
    // longest ago is forgotten first, with a line for its uncounted repeats).
    explicit RepeatFilter(std::int64_t period_ms, std::size_t capacity = 32);

    // The lines to write now for this outcome, `now_ms` being a steady
    // clock: the outcome itself the first time; nothing for a repeat within
    // the period after the last line about it; a summary counting the
    // repeats since that line (this one included) once the period has
    // passed.
    std::vector<std::wstring> offer(std::wstring_view outcome, std::int64_t now_ms);

    // Summaries of the repeats not yet written, in the order the outcomes
    // were first seen; the counts start again (for the end of the process).
    std::vector<std::wstring> flush();

private:
    struct Entry {
        std::wstring outcome;
        std::int64_t written_at_ms = 0;
        std::uint64_t unwritten = 0;
        std::uint64_t last_use = 0;
    };

    std::int64_t period_ms_;
    std::size_t capacity_;
    std::uint64_t uses_ = 0;
    std::vector<Entry> entries_;
};

}  // namespace operator_log
