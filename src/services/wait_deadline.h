// The time-limit arithmetic of the process runner, on seconds since local
// midnight. Pure: the runner feeds it clock readings.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

constexpr std::int32_t kSecondsPerDay = 86400;

// The clock reading at entry as a whole second: nearest, a half to the
// even neighbour. Readings lie in [0, 86400).
std::int32_t start_second(double seconds_since_midnight);

struct WaitDeadline {
    std::int32_t start_second = 0;
    std::int32_t time_limit = 0;  // 0: no limit
    std::int32_t deadline = 0;
    bool wrapped = false;  // the deadline falls after the next midnight
};

// Deadline of a wait that starts at `start` (a whole second) with a time
// limit in seconds. A limit of 0 or less leaves the deadline at 0, not
// wrapped. A sum that overflows a signed 32-bit integer gives nothing: the
// run ends at once.
std::optional<WaitDeadline> wait_deadline(std::int32_t start, std::int32_t time_limit);

// The time-out test of one pass; made only when the limit is not 0. The
// clock is read once, and once more when the deadline is wrapped and the
// first reading lies beyond it (the wait ends only once midnight has passed).
bool time_limit_passed(const WaitDeadline& wait, const std::function<double()>& read_clock);

// How long the runner may sleep, in milliseconds, before the time-out test
// can change its answer; at most `longest`, so a clock that jumps (a change
// of time zone or daylight saving) is looked at again soon.
std::uint32_t milliseconds_to_time_limit(const WaitDeadline& wait, double now, std::uint32_t longest);
