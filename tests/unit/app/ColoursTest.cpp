#include <gtest/gtest.h>

#include "app/Colours.h"

using namespace zd::colours;

TEST(Colours, AStoredColourIsRedGreenBlueFromTheLowByteUp) {
    EXPECT_EQ(fromStoredText("255"), QColor(255, 0, 0));
    EXPECT_EQ(fromStoredText("65280"), QColor(0, 255, 0));
    EXPECT_EQ(fromStoredText(" 16711680 "), QColor(0, 0, 255));
    EXPECT_EQ(fromStoredText("8421504"), QColor(128, 128, 128));
    EXPECT_EQ(fromStoredText("0"), QColor(0, 0, 0));
    EXPECT_EQ(fromStoredText("16777215"), QColor(255, 255, 255));
    EXPECT_EQ(fromStoredText("254.5"), QColor(254, 0, 0));  // whole number: halves to even
    EXPECT_EQ(bgrValue(QColor(18, 52, 86)), 0x563412);
    EXPECT_EQ(fromBgr(0x563412), QColor(18, 52, 86));
    // Only the low 24 bits name the colour.
    EXPECT_EQ(fromBgr(0xFF000001u), QColor(1, 0, 0));
}

TEST(Colours, TextThatIsNoColourGivesNone) {
    for (const char* text : {"", "label2", "12abc", "-1", "16777216", "1e10", "nan", "inf"})
        EXPECT_FALSE(fromStoredText(QString::fromLatin1(text))) << text;
}
