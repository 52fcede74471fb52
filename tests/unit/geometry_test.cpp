#include "shell/geometry.h"

#include <gtest/gtest.h>

TEST(Geometry, TwipsGiveTheLayoutPixelsAt96DpiAndScaleWithRounding) {
    EXPECT_EQ(twips_to_pixels(5550, 96), 370);
    EXPECT_EQ(twips_to_pixels(3825, 96), 255);
    EXPECT_EQ(twips_to_pixels(3825, 144), 383);  // 382.5 rounds away from zero, as MulDiv does
    EXPECT_EQ(twips_to_pixels(5535, 120), 461);  // 461.25
    EXPECT_EQ(twips_to_pixels(0, 144), 0);
}

TEST(Geometry, FontHeightsInPixelsForThePointSizes) {
    EXPECT_EQ(font_height_for(825, 96), -11);
    EXPECT_EQ(font_height_for(975, 96), -13);
    EXPECT_EQ(font_height_for(1200, 96), -16);
    EXPECT_EQ(font_height_for(825, 144), -17);  // 16.5
    EXPECT_EQ(font_height_for(1200, 144), -24);
}
