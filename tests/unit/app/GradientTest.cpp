#include <gtest/gtest.h>

#include "app/Gradient.h"

using zd::gradientBands;

TEST(Gradient, SixHundredThirtyHighGivesSixtyThreeBandsOfTenDarkeningByFour) {
    qint32 r = 100, g = 150, b = 250;
    const auto bands = gradientBands(630, r, g, b, true);
    ASSERT_EQ(bands.size(), 63u);
    for (size_t i = 0; i < bands.size(); ++i) {
        EXPECT_EQ(bands[i].top, static_cast<int>(10 * i));
        EXPECT_EQ(bands[i].bottom - bands[i].top, 10);
    }
    EXPECT_EQ(bands[0].red, 100);
    EXPECT_EQ(bands[25].red, 0);  // the 26th band
    EXPECT_EQ(bands[25].green, 50);
    EXPECT_EQ(bands[25].blue, 150);
    EXPECT_EQ(bands[62].blue, 2);
    // The caller's values come back lowered, never below 0.
    EXPECT_EQ(r, 0);
    EXPECT_EQ(g, 0);
    EXPECT_EQ(b, 0);
}

TEST(Gradient, BottomUpStartsWithTheBrightestBandAtTheBottom) {
    qint32 r = 60, g = 60, b = 60;
    const auto bands = gradientBands(630, r, g, b, false);
    EXPECT_EQ(bands.front().top, 620);
    EXPECT_EQ(bands.front().bottom, 630);
    EXPECT_EQ(bands[1].top, 610);
    EXPECT_EQ(bands.back().top, 0);
    EXPECT_EQ(bands.front().red, 60);
    EXPECT_EQ(bands[15].red, 0);
}

TEST(Gradient, PartsAboveTwoFiftyFivePaintAsTwoFiftyFiveWhileCountingDown) {
    qint32 r = 305, g = 50, b = 0;
    const auto bands = gradientBands(5295, r, g, b, true);
    EXPECT_EQ(bands[0].red, 255);
    EXPECT_EQ(bands[12].red, 255);  // 305 - 48 = 257
    EXPECT_EQ(bands[13].red, 253);
    EXPECT_EQ(r, 305 - 4 * 63);
    EXPECT_EQ(bands[0].bottom, 84);  // 5295 / 63 = 84.05
}

TEST(Gradient, HeightsBeyondSixteenBitsPaintNothing) {
    qint32 r = 1, g = 2, b = 3;
    EXPECT_TRUE(gradientBands(40000, r, g, b, true).empty());
    EXPECT_EQ(r, 1);
}
