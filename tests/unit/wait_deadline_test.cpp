#include "services/wait_deadline.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

namespace {

// A clock that gives its readings in turn and counts how often it was read.
struct ScriptedClock {
    std::vector<double> readings;
    std::size_t reads = 0;
    std::function<double()> function() {
        return [this] { return readings.at(reads++); };
    }
};

WaitDeadline deadline_for(std::int32_t start, std::int32_t limit) {
    const std::optional<WaitDeadline> wait = wait_deadline(start, limit);
    EXPECT_TRUE(wait.has_value());
    return wait.value_or(WaitDeadline{});
}

}  // namespace

TEST(WaitDeadline, StartSecondRoundsHalvesToEven) {
    EXPECT_EQ(start_second(0.0), 0);
    EXPECT_EQ(start_second(0.5), 0);
    EXPECT_EQ(start_second(1.5), 2);
    EXPECT_EQ(start_second(2.5), 2);
    EXPECT_EQ(start_second(2.4999), 2);
    EXPECT_EQ(start_second(2.5001), 3);
    EXPECT_EQ(start_second(86399.4), 86399);
    EXPECT_EQ(start_second(86399.5), 86400);
}

TEST(WaitDeadline, LimitZeroOrNegativeLeavesDeadlineUnset) {
    for (const std::int32_t limit : {0, -1, std::numeric_limits<std::int32_t>::min()}) {
        const WaitDeadline wait = deadline_for(86000, limit);
        EXPECT_EQ(wait.deadline, 0);
        EXPECT_FALSE(wait.wrapped);
    }
}

TEST(WaitDeadline, DeadlineSameDayAndWrappedPastMidnight) {
    WaitDeadline wait = deadline_for(3600, 60);
    EXPECT_EQ(wait.deadline, 3660);
    EXPECT_FALSE(wait.wrapped);

    wait = deadline_for(86395, 10);  // five seconds before midnight
    EXPECT_EQ(wait.deadline, 5);
    EXPECT_TRUE(wait.wrapped);

    wait = deadline_for(86399, 1);  // exactly midnight counts as the next day
    EXPECT_EQ(wait.deadline, 0);
    EXPECT_TRUE(wait.wrapped);
}

TEST(WaitDeadline, SumThatOverflowsEndsTheRun) {
    const std::int32_t max = std::numeric_limits<std::int32_t>::max();
    EXPECT_FALSE(wait_deadline(1, max).has_value());
    EXPECT_FALSE(wait_deadline(86399, max - 86398).has_value());
    // The largest sum that fits still gives a (wrapped) deadline.
    const std::optional<WaitDeadline> fits = wait_deadline(0, max);
    ASSERT_TRUE(fits.has_value());
    EXPECT_EQ(fits->deadline, max - kSecondsPerDay);
    EXPECT_TRUE(fits->wrapped);
}

TEST(WaitDeadline, NoLimitNeverTimesOutAndNeverReadsTheClock) {
    ScriptedClock clock;
    EXPECT_FALSE(time_limit_passed(deadline_for(100, 0), clock.function()));
    EXPECT_EQ(clock.reads, 0u);
}

TEST(WaitDeadline, SameDayDeadlineIsStrictlyAfter) {
    const WaitDeadline wait = deadline_for(100, 10);
    ScriptedClock clock{{109.9, 110.0, 110.001}};
    EXPECT_FALSE(time_limit_passed(wait, clock.function()));
    EXPECT_FALSE(time_limit_passed(wait, clock.function()));
    EXPECT_TRUE(time_limit_passed(wait, clock.function()));
    EXPECT_EQ(clock.reads, 3u);
}

TEST(WaitDeadline, WrappedDeadlineWaitsForMidnightThenForTheDeadline) {
    const WaitDeadline wait = deadline_for(86395, 10);
    // Before midnight the reading is above the deadline, but the second
    // reading is not below the start: go on.
    ScriptedClock before{{86396.0, 86396.0}};
    EXPECT_FALSE(time_limit_passed(wait, before.function()));
    EXPECT_EQ(before.reads, 2u);
    // After midnight, up to the deadline: go on, with one reading only.
    ScriptedClock early{{4.5}};
    EXPECT_FALSE(time_limit_passed(wait, early.function()));
    EXPECT_EQ(early.reads, 1u);
    // After midnight and past the deadline: end.
    ScriptedClock late{{5.01, 5.01}};
    EXPECT_TRUE(time_limit_passed(wait, late.function()));
    // Midnight passing between the two readings ends the wait too.
    ScriptedClock crossing{{86399.99, 0.01}};
    EXPECT_TRUE(time_limit_passed(wait, crossing.function()));
}

TEST(WaitDeadline, NegativeLimitEndsAtTheFirstPass) {
    // The deadline stays 0 and the test is still made: any reading above 0 ends the wait.
    const WaitDeadline wait = deadline_for(5000, -3);
    ScriptedClock clock{{5000.2}};
    EXPECT_TRUE(time_limit_passed(wait, clock.function()));
    EXPECT_EQ(milliseconds_to_time_limit(wait, 5000.2, 1000), 0u);
}

TEST(WaitDeadline, SleepEndsJustAfterTheDeadline) {
    const WaitDeadline same_day = deadline_for(100, 10);
    EXPECT_EQ(milliseconds_to_time_limit(same_day, 109.5, 60000), 501u);
    EXPECT_EQ(milliseconds_to_time_limit(same_day, 100.0, 1000), 1000u);  // capped
    EXPECT_EQ(milliseconds_to_time_limit(same_day, 110.5, 1000), 0u);

    const WaitDeadline wrapped = deadline_for(86395, 10);
    // Before midnight: the rest of the day plus the deadline.
    EXPECT_EQ(milliseconds_to_time_limit(wrapped, 86399.0, 60000), 6001u);
    // After midnight: up to the deadline.
    EXPECT_EQ(milliseconds_to_time_limit(wrapped, 2.0, 60000), 3001u);
    EXPECT_EQ(milliseconds_to_time_limit(wrapped, 7.0, 60000), 0u);
}

TEST(WaitDeadline, SleepingAsToldReachesTheTimeOut) {
    // Walk a clock forward by the sleeps it is told to take (through
    // midnight) and check that the time-out test agrees when it arrives,
    // and not a pass earlier.
    for (const std::int32_t start : {100, 86395, 86399}) {
        const WaitDeadline wait = deadline_for(start, 10);
        double now = start + 0.25;
        int passes = 0;
        for (;;) {
            ScriptedClock clock{{now, now}};
            if (time_limit_passed(wait, clock.function())) {
                break;
            }
            const std::uint32_t sleep = milliseconds_to_time_limit(wait, now, 1000);
            ASSERT_GT(sleep, 0u) << "told to spin at " << now;
            now += sleep / 1000.0;
            if (now >= kSecondsPerDay) {
                now -= kSecondsPerDay;
            }
            ASSERT_LT(++passes, 40) << start;
        }
        // It ended between 10 and 11 seconds after the start.
        double elapsed = now - start;
        if (elapsed < 0) {
            elapsed += kSecondsPerDay;
        }
        EXPECT_GT(elapsed, 9.75) << start;
        EXPECT_LT(elapsed, 10.8) << start;
    }
}
