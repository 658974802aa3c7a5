// Stored texts becoming control values, the frame box's keys, row arithmetic and the paired
// duplicate pass of the play list.
#include <gtest/gtest.h>

#include <QStringList>

#include "options/OptionRules.h"

using namespace zd::options;

namespace {

// A list with the classic operations, as the duplicate pass uses them.
struct FakeList {
    QStringList entries;
    int listCount() const { return static_cast<int>(entries.size()); }
    QString list(int i) const { return i >= 0 && i < entries.size() ? entries.at(i) : QString(); }
    bool removeItem(int i) {
        if (i < 0 || i >= entries.size())
            return false;
        entries.removeAt(i);
        return true;
    }
};

}  // namespace

TEST(StoredValues, MissingKeyTextTicksTheBoxAndLeavesTheSlider) {
    // A missing key reads back as its own name.
    EXPECT_EQ(checkValueFrom(QStringLiteral("Text4"), 0), 1);
    EXPECT_EQ(checkValueFrom(QString(), 0), 1);
    EXPECT_EQ(sliderValueFrom(QStringLiteral("Text1"), 0, 255), std::nullopt);
    EXPECT_EQ(sliderValueFrom(QString(), 0, 255), std::nullopt);
}

TEST(StoredValues, ZeroAndOneSetTheBoxOtherNumbersLeaveIt) {
    EXPECT_EQ(checkValueFrom(QStringLiteral("0"), 1), 0);
    EXPECT_EQ(checkValueFrom(QStringLiteral(" 1 "), 0), 1);
    EXPECT_EQ(checkValueFrom(QStringLiteral("1.0"), 0), 1);
    EXPECT_EQ(checkValueFrom(QStringLiteral("2"), 0), 0);
    EXPECT_EQ(checkValueFrom(QStringLiteral("-1"), 1), 1);
}

TEST(StoredValues, SliderTakesTheNearestWholeNumberWithinItsRange) {
    EXPECT_EQ(sliderValueFrom(QStringLiteral("12"), 0, 255), 12);
    EXPECT_EQ(sliderValueFrom(QStringLiteral(" 200 "), 0, 255), 200);
    EXPECT_EQ(sliderValueFrom(QStringLiteral("2.5"), 0, 255), 2);  // halves to even
    EXPECT_EQ(sliderValueFrom(QStringLiteral("3.5"), 0, 255), 4);
    EXPECT_EQ(sliderValueFrom(QStringLiteral("255"), 0, 255), 255);
    EXPECT_EQ(sliderValueFrom(QStringLiteral("256"), 0, 255), std::nullopt);
    EXPECT_EQ(sliderValueFrom(QStringLiteral("-1"), 0, 255), std::nullopt);
    EXPECT_EQ(sliderValueFrom(QStringLiteral("1e300"), 0, 255), std::nullopt);
    EXPECT_EQ(sliderValueFrom(QStringLiteral("nan"), 0, 255), std::nullopt);
    EXPECT_EQ(sliderValueFrom(QStringLiteral("12abc"), 0, 255), std::nullopt);
}

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

TEST(DuplicatePaths, LaterCopiesGoFromBothListsAtTheSamePosition) {
    FakeList names{{"a.swf", "b.swf", "a.swf", "c.swf", "a.swf"}};
    FakeList paths{{"/x/a.swf", "/x/b.swf", "/x/a.swf", "/x/c.swf", "/x/a.swf"}};
    EXPECT_EQ(removeDuplicatePaths(names, paths), 2);
    EXPECT_EQ(paths.entries, (QStringList{"/x/a.swf", "/x/b.swf", "/x/c.swf"}));
    EXPECT_EQ(names.entries, (QStringList{"a.swf", "b.swf", "c.swf"}));
}

TEST(DuplicatePaths, SameNameInTwoFoldersAndCaseVariantsStayPaired) {
    FakeList names{{"a.swf", "a.swf", "A.swf", "a.swf"}};
    FakeList paths{{"/one/a.swf", "/two/a.swf", "/one/A.swf", "/two/a.swf"}};
    EXPECT_EQ(removeDuplicatePaths(names, paths), 1);
    EXPECT_EQ(paths.entries, (QStringList{"/one/a.swf", "/two/a.swf", "/one/A.swf"}));
    EXPECT_EQ(names.entries, (QStringList{"a.swf", "a.swf", "A.swf"}));
}

TEST(DuplicatePaths, RunsOfCopiesAndEmptyEntriesCollapseToTheFirst) {
    FakeList names{{"", "", "m.swf", "m.swf", "m.swf", ""}};
    FakeList paths{{"", "", "/m.swf", "/m.swf", "/m.swf", ""}};
    EXPECT_EQ(removeDuplicatePaths(names, paths), 4);
    EXPECT_EQ(paths.entries, (QStringList{"", "/m.swf"}));
    EXPECT_EQ(names.entries, (QStringList{"", "m.swf"}));
}

TEST(DuplicatePaths, ShorterNameListLosesOnlyWhatItHas) {
    // Files edited by hand may disagree in length; positions past the names' end only leave
    // the paths.
    FakeList names{{"a.swf"}};
    FakeList paths{{"/a.swf", "/b.swf", "/a.swf"}};
    removeDuplicatePaths(names, paths);
    EXPECT_EQ(paths.entries, (QStringList{"/a.swf", "/b.swf"}));
    EXPECT_EQ(names.entries, (QStringList{"a.swf"}));
    FakeList none;
    FakeList empty;
    EXPECT_EQ(removeDuplicatePaths(none, empty), 0);
}
