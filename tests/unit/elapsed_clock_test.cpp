#include "update/elapsed_clock.h"

#include <gtest/gtest.h>

namespace {
std::wstring after_ticks(std::wstring caption, int ticks) {
    for (int i = 0; i < ticks; ++i) {
        caption = advanced_clock(caption);
    }
    return caption;
}
}  // namespace

TEST(ElapsedClock, ScheduleFromTheStart) {
    EXPECT_EQ(after_ticks(kClockStart, 1), L"00:00:1");
    EXPECT_EQ(after_ticks(kClockStart, 59), L"00:00:59");
    EXPECT_EQ(after_ticks(kClockStart, 60), L"00:1:00");
    EXPECT_EQ(after_ticks(kClockStart, 61), L"00:1:1");
    EXPECT_EQ(after_ticks(kClockStart, 900), L"00:15:00");
    EXPECT_EQ(after_ticks(kClockStart, 901), L"00:15:1");
    EXPECT_TRUE(is_check_mark(after_ticks(kClockStart, 901)));
    for (int tick = 0; tick <= 900; ++tick) {
        EXPECT_FALSE(is_check_mark(after_ticks(kClockStart, tick))) << tick;
    }
}

TEST(ElapsedClock, OnlyTheExactMarkIsTheMark) {
    EXPECT_TRUE(is_check_mark(L"00:15:1"));
    EXPECT_FALSE(is_check_mark(L"00:15:01"));
    EXPECT_FALSE(is_check_mark(L"00:15:1 "));
    EXPECT_FALSE(is_check_mark(L"0:15:1"));
}

TEST(ElapsedClock, CarryRules) {
    EXPECT_EQ(advanced_clock(L"00:15:01"), L"00:15:2");
    EXPECT_EQ(advanced_clock(L"00:59:59"), L"1:00:00");
    EXPECT_EQ(advanced_clock(L"00:59:58"), L"00:59:59");
    EXPECT_EQ(advanced_clock(L"00:60:5"), L"1:00:6");
    EXPECT_EQ(advanced_clock(L"00:3:75"), L"00:4:00");
    EXPECT_EQ(advanced_clock(L"1:00:00"), L"1:00:1");
}
