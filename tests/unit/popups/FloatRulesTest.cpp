#include <gtest/gtest.h>

#include "popups/FloatRules.h"

using namespace zd::floating;

TEST(FloatRules, TheLeftEdgeIsTheRoundedWidthHalvedDownward) {
    EXPECT_EQ(windowLeft(15360), 7680);
    EXPECT_EQ(windowLeft(15345), 7672);  // an odd width loses its half twip
    // Rounded first, halves to even: 15360.5 -> 15360, 15361.5 -> 15362.
    EXPECT_EQ(windowLeft(15360.5), 7680);
    EXPECT_EQ(windowLeft(15361.5), 7681);
    EXPECT_EQ(windowLeft(15359.6), 7680);
    EXPECT_EQ(windowLeft(0), 0);
}

TEST(FloatRules, TipsWhileLoadingAndAfter) {
    EXPECT_EQ(progressTip(37), QStringLiteral("37%"));
    EXPECT_EQ(progressTip(0), QStringLiteral("0%"));
    EXPECT_EQ(dropTip(), QStringLiteral("支持拖放URL"));
}
