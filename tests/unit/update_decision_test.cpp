#include "update/update_decision.h"

#include <gtest/gtest.h>

namespace {
// A local time of one day, in 100 ns units.
std::int64_t at(int hour, int minute, int second, int day = 0) {
    return ((((static_cast<std::int64_t>(day) * 24 + hour) * 60 + minute) * 60) + second) * 10000000LL +
           150000000000000000LL;  // a day in 2076, far from the start of the count
}
}  // namespace

TEST(UpdateDecision, CountsMinuteBoundariesNotElapsedTime) {
    EXPECT_EQ(minute_boundaries(at(10, 0, 10), at(10, 0, 30)), 0);
    EXPECT_EQ(minute_boundaries(at(10, 0, 59), at(10, 1, 0)), 1);
    EXPECT_EQ(minute_boundaries(at(10, 0, 59), at(10, 2, 0)), 2);
    EXPECT_EQ(minute_boundaries(at(10, 1, 0), at(10, 0, 59)), -1);
    EXPECT_EQ(minute_boundaries(at(10, 0, 0), at(10, 0, 0)), 0);
    EXPECT_EQ(minute_boundaries(at(10, 0, 0, 1), at(10, 0, 0)), -1440);
    EXPECT_EQ(minute_boundaries(at(10, 0, 0), at(10, 0, 0, 1)), 1440);
    // Fractions of a second do not move the boundary.
    EXPECT_EQ(minute_boundaries(at(10, 0, 59) + 9999999, at(10, 1, 0)), 1);
}

TEST(UpdateDecision, DueOnlyBeyondOneBoundary) {
    EXPECT_FALSE(update_due(minute_boundaries(at(10, 0, 10), at(10, 0, 30))));
    EXPECT_FALSE(update_due(minute_boundaries(at(10, 0, 59), at(10, 1, 0))));
    EXPECT_TRUE(update_due(minute_boundaries(at(10, 0, 59), at(10, 2, 0))));
    EXPECT_FALSE(update_due(minute_boundaries(at(10, 1, 0), at(10, 0, 59))));
    EXPECT_FALSE(update_due(minute_boundaries(at(10, 0, 0, 1), at(10, 0, 0))));
    EXPECT_TRUE(update_due(minute_boundaries(at(10, 0, 0), at(10, 0, 0, 1))));
}

TEST(UpdateDecision, AddressFileContentLosesBreaksAndBlanksAtBothEnds) {
    EXPECT_EQ(trimmed_address(L"192.168.0.10\r\n"), L"192.168.0.10");
    EXPECT_EQ(trimmed_address(L" \t192.168.0.10 \n\n"), L"192.168.0.10");
    EXPECT_EQ(trimmed_address(L"\r\n"), L"");
    EXPECT_EQ(trimmed_address(L""), L"");
    EXPECT_EQ(trimmed_address(L"servidor local"), L"servidor local");
}
