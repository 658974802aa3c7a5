#pragma once

#include <QString>
#include <QStringList>
#include <vector>

#include "controls/Twips.h"

// The arithmetic of the skinned popup menus, free of widgets: where the window, its strips,
// its item labels and its separator lines go for a list of item texts.
namespace zd::menu {

// Every item takes one slot of this height (twips).
inline constexpr double kSlotHeight = 225;
inline constexpr double kTopStripHeight = 220;
inline constexpr double kBottomStripHeight = 170;
inline constexpr double kLeftStripWidth = 300;
// Items and separators start this far into the item area.
inline constexpr double kItemIndent = 150;
// A separator line runs this far below the top of its slot.
inline constexpr double kSeparatorOffset = 122;
// The positions were 16-bit numbers; the longest list they could place.
inline constexpr int kMaxEntries = 146;

// The item text that makes a separator line.
inline bool isSeparator(const QString& item) {
    return item == QLatin1String("-");
}

struct ItemSlot {
    int index = 0;  // the item's position in the list (and the index of its label)
    TwipRect rect;  // in the item area
};

struct SeparatorLine {
    int number = 0;  // 1, 2, ... in order of appearance
    double x1 = 0;
    double y1 = 0;
    double x2 = 0;
    double y2 = 0;
};

struct MenuLayout {
    TwipRect window;  // screen twips
    TwipRect topStrip;
    TwipRect bottomStrip;
    TwipRect leftStrip;
    TwipRect itemArea;
    std::vector<ItemSlot> items;
    std::vector<SeparatorLine> separators;
};

// The layout for `items` (at most kMaxEntries are placed; "-" marks a separator) with the
// window's top-left at (left, top) in screen twips and `width` twips wide. With n the index of
// the last item, the window is (n + 3) x 225 high; the item area is as high as the left strip,
// (n + 1) x 225, and 150 twips narrower than the window, so with its left edge at 300 it reaches
// 150 twips past the window's right edge, where it is cut off.
MenuLayout menuLayout(const QStringList& items, double left, double top, double width);

}  // namespace zd::menu
