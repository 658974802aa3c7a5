// The frame a go-to by number reaches: 32-bit wrapping, nothing before the first frame, the
// largest numbers left for the host to bring back to the last frame.

#include <gtest/gtest.h>

#include <limits>

#include "engine/avm1/PropertyValues.h"

namespace {

using zd::avm1::goToFrameNumber;

TEST(GoToFrameNumber, WholeNumbersFromOneAreFrames) {
    EXPECT_EQ(goToFrameNumber(1), 1);
    EXPECT_EQ(goToFrameNumber(999), 999);
    EXPECT_EQ(goToFrameNumber(2, 13), 15);  // a scene's frame
}

TEST(GoToFrameNumber, FrameZeroAndBelowGoNowhere) {
    EXPECT_EQ(goToFrameNumber(0), std::nullopt);
    EXPECT_EQ(goToFrameNumber(-99), std::nullopt);
    EXPECT_EQ(goToFrameNumber(-2147483647.0), std::nullopt);
    EXPECT_EQ(goToFrameNumber(-20, 13), std::nullopt);
}

TEST(GoToFrameNumber, NumbersWrapAsThirtyTwoBitIntegers) {
    EXPECT_EQ(goToFrameNumber(4294967298.0), 2);
    EXPECT_EQ(goToFrameNumber(4294967301.0), 5);
    // 2^31 and -2^31 wrap to the most negative integer: one before it is the largest.
    const int largest = std::numeric_limits<int>::max();
    EXPECT_EQ(goToFrameNumber(2147483648.0), largest);
    EXPECT_EQ(goToFrameNumber(-2147483648.0), largest);
    EXPECT_EQ(goToFrameNumber(2147483647.0), largest);
}

TEST(GoToFrameNumber, FractionsAndNonNumbersGoNowhere) {
    EXPECT_EQ(goToFrameNumber(4.123), std::nullopt);
    EXPECT_EQ(goToFrameNumber(std::numeric_limits<double>::quiet_NaN()), std::nullopt);
    EXPECT_EQ(goToFrameNumber(std::numeric_limits<double>::infinity()), std::nullopt);
}

}  // namespace
