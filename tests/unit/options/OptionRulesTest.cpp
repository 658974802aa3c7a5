// The frame box's keys and number, and the play list's row arithmetic.
#include <gtest/gtest.h>

#include "options/OptionRules.h"

using namespace zd::options;

TEST(FrameBox, OnlyAsciiDigitsAreKept) {
    for (char c = '0'; c <= '9'; ++c)
        EXPECT_TRUE(isFrameDigit(QLatin1Char(c)));
    for (QChar c : QStringLiteral("aZ -+.\b\r\x16") + QChar(0xFF11) /* fullwidth 1 */ +
                       QChar(0x0661) /* Arabic-Indic 1 */)
        EXPECT_FALSE(isFrameDigit(c)) << int(c.unicode());
}

TEST(FrameBox, FrameNumbersAndTheSeekBarsSixteenBits) {
    EXPECT_EQ(frameNumberFrom(QStringLiteral("42")), 42);
    EXPECT_EQ(frameNumberFrom(QStringLiteral("007")), 7);
    EXPECT_EQ(frameNumberFrom(QString()), std::nullopt);
    EXPECT_EQ(frameNumberFrom(QStringLiteral("99999999999")), std::nullopt);
    EXPECT_EQ(seekBarValueFor(32767), qint16(32767));
    EXPECT_EQ(seekBarValueFor(32768), std::nullopt);
    EXPECT_EQ(seekBarValueFor(-32768), qint16(-32768));
}

TEST(RowUnderPoint, CountsWholeRowsFromTheFirstVisibleEntry) {
    EXPECT_EQ(rowUnderPoint(0, 14, 0), 0);
    EXPECT_EQ(rowUnderPoint(13, 14, 0), 0);
    EXPECT_EQ(rowUnderPoint(14, 14, 0), 1);
    EXPECT_EQ(rowUnderPoint(30, 14, 5), 7);
    EXPECT_EQ(rowUnderPoint(-1, 14, 5), -1);
    EXPECT_EQ(rowUnderPoint(10, 0, 0), -1);
}
