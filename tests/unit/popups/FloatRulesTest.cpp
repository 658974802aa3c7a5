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

TEST(FloatRules, TheStoredColourIsRedGreenBlueFromTheLowByteUp) {
    EXPECT_EQ(colourFromSetting("255"), QColor(255, 0, 0));
    EXPECT_EQ(colourFromSetting("65280"), QColor(0, 255, 0));
    EXPECT_EQ(colourFromSetting(" 16711680 "), QColor(0, 0, 255));
    EXPECT_EQ(colourFromSetting("8421504"), QColor(128, 128, 128));
    EXPECT_EQ(colourFromSetting("0"), QColor(0, 0, 0));
    EXPECT_EQ(colourFromSetting("16777215"), QColor(255, 255, 255));
    EXPECT_EQ(colourFromSetting("254.5"), QColor(254, 0, 0));  // whole number: halves to even
}

TEST(FloatRules, TextThatIsNoColourGivesNone) {
    for (const char* text : {"", "label2", "12abc", "-1", "16777216", "1e10", "nan", "inf"})
        EXPECT_FALSE(colourFromSetting(QString::fromLatin1(text))) << text;
}

TEST(FloatRules, TipsWhileLoadingAndAfter) {
    EXPECT_EQ(progressTip(37), QStringLiteral("37%"));
    EXPECT_EQ(progressTip(0), QStringLiteral("0%"));
    EXPECT_EQ(dropTip(), QStringLiteral("支持拖放URL"));
}
