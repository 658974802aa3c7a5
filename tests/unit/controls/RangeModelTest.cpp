#include <gtest/gtest.h>

#include <climits>

#include "controls/RangeModel.h"

using zd::controls::RangeModel;

namespace {
RangeModel bar16() {
    return RangeModel(-32768, 32767, 0, 32767, 0, 1, 1);
}
}  // namespace

TEST(RangeModel, RefusedSettersChangeNothing) {
    RangeModel m = bar16();
    ASSERT_TRUE(m.setMax(300));
    ASSERT_TRUE(m.setValue(299));
    EXPECT_FALSE(m.setValue(301));
    EXPECT_FALSE(m.setValue(32768));
    EXPECT_FALSE(m.setMax(32768));
    EXPECT_FALSE(m.setMin(-32769));
    EXPECT_FALSE(m.setSmallChange(0));
    EXPECT_FALSE(m.setLargeChange(-5));
    EXPECT_FALSE(m.setLargeChange(32768));
    EXPECT_EQ(m.value(), 299);
    EXPECT_EQ(m.min(), 0);
    EXPECT_EQ(m.max(), 300);
    EXPECT_EQ(m.smallChange(), 1);
    EXPECT_EQ(m.largeChange(), 1);
}

TEST(RangeModel, NewBoundsPullTheValueIn) {
    RangeModel m = bar16();
    ASSERT_TRUE(m.setValue(500));
    ASSERT_TRUE(m.setMax(100));
    EXPECT_EQ(m.value(), 100);
    ASSERT_TRUE(m.setMin(-50));
    ASSERT_TRUE(m.setMax(-60));  // now runs from -50 down to -60
    EXPECT_EQ(m.value(), -50);
}

TEST(RangeModel, StepsStopAtTheEndsEitherWayRound) {
    RangeModel m = bar16();
    ASSERT_TRUE(m.setMax(10));
    ASSERT_TRUE(m.setValue(8));
    EXPECT_EQ(m.steppedBy(5), 10);
    EXPECT_EQ(m.steppedBy(-3), 5);
    EXPECT_EQ(m.steppedBy(-50), 0);

    RangeModel reversed(-32768, 32767, 100, 0, 50, 1, 10);
    EXPECT_EQ(reversed.steppedBy(10), 40);  // towards Max, which is the smaller
    EXPECT_EQ(reversed.steppedBy(-60), 100);
    EXPECT_DOUBLE_EQ(reversed.fraction(), 0.5);
}

TEST(RangeModel, FractionAndPositionAgree) {
    RangeModel m(INT_MIN, INT_MAX, 0, 255, 0, 1, 5);
    EXPECT_EQ(m.valueAt(0.0), 0);
    EXPECT_EQ(m.valueAt(1.0), 255);
    EXPECT_EQ(m.valueAt(0.5), 128);
    EXPECT_EQ(m.valueAt(-3.0), 0);
    EXPECT_EQ(m.valueAt(7.0), 255);
    ASSERT_TRUE(m.setValue(51));
    EXPECT_DOUBLE_EQ(m.fraction(), 0.2);

    RangeModel empty(INT_MIN, INT_MAX, 7, 7, 7, 1, 1);
    EXPECT_DOUBLE_EQ(empty.fraction(), 0.0);
    EXPECT_EQ(empty.valueAt(0.9), 7);
}

TEST(RangeModel, FullIntRangeDoesNotOverflow) {
    RangeModel m(INT_MIN, INT_MAX, INT_MIN, INT_MAX, INT_MAX - 1, 1, INT_MAX);
    EXPECT_EQ(m.steppedBy(INT_MAX), INT_MAX);
    EXPECT_EQ(m.steppedBy(-qint64(INT_MAX) * 3), INT_MIN);
    EXPECT_EQ(m.valueAt(1.0), INT_MAX);
    EXPECT_EQ(m.valueAt(0.0), INT_MIN);
    EXPECT_EQ(m.clamped(qint64(INT_MAX) + 10), INT_MAX);
}
