#include <gtest/gtest.h>

#include "mainwindow/LayoutRules.h"

using namespace zd;
using namespace zd::layout;

TEST(LayoutTag, FiveNumbersEachFollowedByABlank) {
    EXPECT_EQ(parseLayoutTag(QStringLiteral("0 3720 375 255 6.75 ")),
              (LayoutTag{0, 3720, 375, 255, 6.75}));
}

TEST(LayoutTag, ANumberWithoutAFollowingBlankCountsZero) {
    // The movie control's tag has no font size.
    EXPECT_EQ(parseLayoutTag(QStringLiteral("480 360 4500 4500 ")),
              (LayoutTag{480, 360, 4500, 4500, 0}));
    // The last text has no blank after it, so it is not read.
    EXPECT_EQ(parseLayoutTag(QStringLiteral("10 20 30 40 9")), (LayoutTag{10, 20, 30, 40, 0}));
    EXPECT_EQ(parseLayoutTag(QStringLiteral("10 20")), (LayoutTag{10, 0, 0, 0, 0}));
    // A timer's empty tag: five zeros.
    EXPECT_EQ(parseLayoutTag(QString()), LayoutTag{});
}

TEST(LayoutTag, ExtraNumbersAreIgnoredAndTextCountsZero) {
    EXPECT_EQ(parseLayoutTag(QStringLiteral("1 2 3 4 5 6 7 ")), (LayoutTag{1, 2, 3, 4, 5}));
    EXPECT_EQ(parseLayoutTag(QStringLiteral("1 x 3  5 ")), (LayoutTag{1, 0, 3, 0, 5}));
}

TEST(LayoutTag, WrittenTagsReadBackExactly) {
    const TwipRect rect{3840, 4730, 1095, 90};
    const QString withoutFont = formatLayoutTag(rect, std::nullopt);
    EXPECT_EQ(withoutFont, QStringLiteral("3840 4730 1095 90 "));
    EXPECT_EQ(parseLayoutTag(withoutFont), (LayoutTag{3840, 4730, 1095, 90, 0}));
    const QString withFont = formatLayoutTag({0.5, 1137.75, 2, 3}, 6.75);
    EXPECT_EQ(withFont, QStringLiteral("0.5 1137.75 2 3 6.75 "));
    EXPECT_EQ(parseLayoutTag(withFont), (LayoutTag{0.5, 1137.75, 2, 3, 6.75}));
}

TEST(Relayout, TwiceTheReferenceDoublesRectanglesAndFonts) {
    const auto factors = scaleFactors(10500, 10590, 5250, 5295);
    ASSERT_TRUE(factors);
    const LayoutTag label{0, 3720, 375, 255, 6.75};
    EXPECT_EQ(scaledRect(label, *factors), (TwipRect{0, 7440, 750, 510}));
    EXPECT_DOUBLE_EQ(scaledFontSize(label, *factors), 13.5);
}

TEST(Relayout, FontsFollowTheSmallerFactor) {
    // Wider only: the height factor (1) is the smaller one, fonts keep their size.
    auto factors = scaleFactors(10500, 5295, 5250, 5295);
    ASSERT_TRUE(factors);
    const LayoutTag box{2040, 2880, 615, 270, 9};
    EXPECT_EQ(scaledRect(box, *factors), (TwipRect{4080, 2880, 1230, 270}));
    EXPECT_DOUBLE_EQ(scaledFontSize(box, *factors), 9);
    // Taller only: the width factor.
    factors = scaleFactors(5250, 15885, 5250, 5295);
    EXPECT_DOUBLE_EQ(scaledFontSize(box, *factors), 9);
    // Both grow unequally: the smaller one wins.
    factors = scaleFactors(7875, 10590, 5250, 5295);
    EXPECT_DOUBLE_EQ(scaledFontSize(box, *factors), 13.5);
}

TEST(Relayout, NoReferenceYetMeansNoRelayoutAndACollapsedWindowGivesZero) {
    EXPECT_FALSE(scaleFactors(5250, 5295, 0, 5295));
    EXPECT_FALSE(scaleFactors(5250, 5295, 5250, 0));
    const auto collapsed = scaleFactors(0, 0, 5250, 5295);
    ASSERT_TRUE(collapsed);
    EXPECT_EQ(scaledRect({480, 360, 4500, 4500, 0}, *collapsed), TwipRect{});
}

TEST(EnlargeButton, GrowsByStepsAndStopsExactlyAtTheScreenSize) {
    const WindowSize screen{15360, 11520};  // 1024 x 768 pixels
    WindowSize size{5250, 5295};
    int ticks = 0;
    SizeStep step;
    do {
        step = enlargeStep(size, screen);
        if (!step.stop) {
            EXPECT_LT(step.size.width, screen.width + 1);
            EXPECT_LT(step.size.height, screen.height + 1);
        }
        size = step.size;
        ++ticks;
    } while (!step.stop && ticks < 100);
    EXPECT_TRUE(step.stop);
    EXPECT_EQ(size, screen);
    // Neither 10110 / 450 nor 6225 / 300 is whole: the last steps are cut at the screen's edge.
    EXPECT_EQ(ticks, 23);
    EXPECT_EQ(enlargeStep({5250, 5295}, screen).size, (WindowSize{5700, 5595}));
}

TEST(EnlargeButton, AWindowAtTheScreenSizeStopsAtOnce) {
    const WindowSize screen{15360, 11520};
    const SizeStep step = enlargeStep(screen, screen);
    EXPECT_TRUE(step.stop);
    EXPECT_EQ(step.size, screen);
    EXPECT_TRUE(fillsScreen(screen, screen));
    EXPECT_FALSE(fillsScreen({15360, 11519}, screen));
}

TEST(ShrinkButton, ShrinksByStepsAndSnapsBelowTheLimit) {
    SizeStep step = shrinkStep({15360, 11520});
    EXPECT_FALSE(step.stop);
    EXPECT_EQ(step.size, (WindowSize{14910, 11220}));
    // 5790 - 300 = 5490 falls below 5500: the window snaps.
    step = shrinkStep({7000, 5790});
    EXPECT_TRUE(step.stop);
    EXPECT_EQ(step.size, (WindowSize{5220, 5325}));
    // 5800 - 300 = 5500 is not below the limit.
    step = shrinkStep({7000, 5800});
    EXPECT_FALSE(step.stop);
    EXPECT_EQ(step.size, (WindowSize{6550, 5500}));
    // The design size is already below: one step snaps it.
    step = shrinkStep({5250, 5295});
    EXPECT_TRUE(step.stop);
    EXPECT_EQ(step.size, (WindowSize{5220, 5325}));
}

TEST(ShrinkButton, ATallNarrowWindowNeverGetsANegativeWidth) {
    WindowSize size{900, 11520};
    SizeStep step;
    int ticks = 0;
    do {
        step = shrinkStep(size);
        EXPECT_GE(step.size.width, 0);
        size = step.size;
    } while (!step.stop && ++ticks < 100);
    EXPECT_EQ(size, (WindowSize{5220, 5325}));
}
