#include <gtest/gtest.h>

#include "popups/MenuGeometry.h"

using namespace zd;
using namespace zd::menu;

namespace {
QStringList withSeparators(int entries) {
    QStringList items;
    for (int i = 0; i < entries; ++i)
        items << (i % 2 ? QStringLiteral("-") : QStringLiteral("item %1").arg(i));
    return items;
}
}  // namespace

TEST(MenuGeometry, FifteenEntriesAre3825HighWithTheBottomStripAt3655) {
    const MenuLayout layout = menuLayout(withSeparators(15), 12800, 7045.87, 1950);
    EXPECT_EQ(layout.window, (TwipRect{12800, 7045.87, 1950, 3825}));
    EXPECT_EQ(layout.topStrip, (TwipRect{0, 0, 1950, 220}));
    EXPECT_EQ(layout.bottomStrip, (TwipRect{0, 3655, 1950, 170}));
    EXPECT_EQ(layout.leftStrip, (TwipRect{0, 220, 300, 3375}));
    // The item area reaches 150 twips past the window's right edge.
    EXPECT_EQ(layout.itemArea, (TwipRect{300, 220, 1800, 3375}));
    EXPECT_EQ(layout.itemArea.left + layout.itemArea.width - layout.window.width, 150);
    // The last slot ends 60 twips above the bottom strip.
    EXPECT_EQ(layout.bottomStrip.top - (layout.itemArea.top + layout.itemArea.height), 60);
}

TEST(MenuGeometry, TheCallersListsGiveTheirHeights) {
    EXPECT_EQ(menuLayout(withSeparators(9), 0, 0, 1950).window.height, 2475);
    EXPECT_EQ(menuLayout(withSeparators(5), 0, 0, 1950).window.height, 1575);
}

TEST(MenuGeometry, ItemsTakeTheirSlotsAndSeparatorsAreNumberedInOrder) {
    const MenuLayout layout = menuLayout(withSeparators(5), 0, 0, 1950);
    ASSERT_EQ(layout.items.size(), 3u);
    EXPECT_EQ(layout.items[0].index, 0);
    EXPECT_EQ(layout.items[0].rect, (TwipRect{150, 0, 1650, 225}));
    EXPECT_EQ(layout.items[1].index, 2);
    EXPECT_EQ(layout.items[1].rect, (TwipRect{150, 450, 1650, 225}));
    EXPECT_EQ(layout.items[2].index, 4);
    EXPECT_EQ(layout.items[2].rect.top, 900);
    ASSERT_EQ(layout.separators.size(), 2u);
    EXPECT_EQ(layout.separators[0].number, 1);
    EXPECT_EQ(layout.separators[0].y1, 347);
    EXPECT_EQ(layout.separators[1].number, 2);
    EXPECT_EQ(layout.separators[1].y1, 797);
    EXPECT_EQ(layout.separators[1].y2, 797);
    EXPECT_EQ(layout.separators[1].x1, 150);
    EXPECT_EQ(layout.separators[1].x2, 1800);
}

TEST(MenuGeometry, ALeadingSeparatorDrawsAt122AndLeavesNoItemZero) {
    const MenuLayout layout = menuLayout({"-", "a", "-", "-"}, 0, 0, 1950);
    ASSERT_EQ(layout.separators.size(), 3u);
    EXPECT_EQ(layout.separators[0].y1, 122);
    EXPECT_EQ(layout.separators[2].number, 3);
    EXPECT_EQ(layout.separators[2].y1, 3 * 225 + 122);
    ASSERT_EQ(layout.items.size(), 1u);
    EXPECT_EQ(layout.items[0].index, 1);
}

TEST(MenuGeometry, EmptyAndOverlongLists) {
    const MenuLayout empty = menuLayout({}, 0, 0, 1950);
    EXPECT_EQ(empty.window.height, 450);
    EXPECT_EQ(empty.leftStrip.height, 0);
    EXPECT_TRUE(empty.items.empty());
    // Positions were 16-bit numbers: no more than 146 entries are placed.
    const MenuLayout longest = menuLayout(withSeparators(400), 0, 0, 1950);
    EXPECT_EQ(longest.items.size() + longest.separators.size(), size_t(kMaxEntries));
    EXPECT_EQ(longest.window.height, (kMaxEntries + 2) * 225);
    EXPECT_LE(longest.separators.back().y1, 32767);
}
