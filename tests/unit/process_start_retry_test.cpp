#include "services/process_start_retry.h"

#include <gtest/gtest.h>

TEST(ProcessStartRetry, PassingFailuresAreTriedAgainLastingOnesAreNot) {
    // Sharing and lock violations (a scanner holding a fresh download), low
    // memory or resources, and the internal error of a child that died while
    // being set up.
    for (const std::uint32_t error : {8u, 14u, 32u, 33u, 1359u, 1450u, 1455u}) {
        EXPECT_TRUE(worth_a_second_start(error)) << error;
    }
    // Success, no such file or path, access denied, not a valid program,
    // elevation required: the same on every try.
    for (const std::uint32_t error : {0u, 2u, 3u, 5u, 193u, 740u}) {
        EXPECT_FALSE(worth_a_second_start(error)) << error;
    }
}
