#include "services/wait_deadline.h"

#include <cmath>
#include <limits>

std::int32_t start_second(double seconds_since_midnight) {
    // nearbyint rounds in the default mode, to nearest with ties to even.
    return static_cast<std::int32_t>(std::nearbyint(seconds_since_midnight));
}

std::optional<WaitDeadline> wait_deadline(std::int32_t start, std::int32_t time_limit) {
    WaitDeadline wait;
    wait.start_second = start;
    wait.time_limit = time_limit;
    if (time_limit <= 0) {
        return wait;
    }
    std::int32_t sum = 0;
    if (__builtin_add_overflow(start, time_limit, &sum)) {
        return std::nullopt;
    }
    if (sum >= kSecondsPerDay) {
        wait.deadline = sum - kSecondsPerDay;
        wait.wrapped = true;
    } else {
        wait.deadline = sum;
    }
    return wait;
}

bool time_limit_passed(const WaitDeadline& wait, const std::function<double()>& read_clock) {
    if (wait.time_limit == 0) {
        return false;
    }
    if (!(read_clock() > wait.deadline)) {
        return false;
    }
    if (!wait.wrapped) {
        return true;
    }
    return read_clock() < wait.start_second;
}

std::uint32_t milliseconds_to_time_limit(const WaitDeadline& wait, double now, std::uint32_t longest) {
    double remaining = 0.0;
    if (wait.wrapped && now >= wait.start_second) {
        // Still before midnight: the deadline is on the next day.
        remaining = (kSecondsPerDay - now) + wait.deadline;
    } else {
        remaining = wait.deadline - now;
    }
    if (!(remaining > 0.0)) {
        return 0;
    }
    // One millisecond past the deadline, since the test is "strictly after".
    const double milliseconds = std::floor(remaining * 1000.0) + 1.0;
    if (milliseconds >= static_cast<double>(longest)) {
        return longest;
    }
    return static_cast<std::uint32_t>(milliseconds);
}
