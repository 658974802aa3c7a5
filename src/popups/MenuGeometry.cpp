#include "popups/MenuGeometry.h"

#include <algorithm>

namespace zd::menu {

MenuLayout menuLayout(const QStringList& items, double left, double top, double width) {
    const int count = static_cast<int>(std::min<qsizetype>(items.size(), kMaxEntries));
    const int last = count - 1;
    MenuLayout layout;
    layout.window = {left, top, width, (last + 3) * kSlotHeight};
    layout.topStrip = {0, 0, width, kTopStripHeight};
    layout.bottomStrip = {0, layout.window.height - kBottomStripHeight, width, kBottomStripHeight};
    const double stripHeight = (last + 1) * kSlotHeight;
    layout.leftStrip = {0, kTopStripHeight, kLeftStripWidth, stripHeight};
    layout.itemArea = {kLeftStripWidth, kTopStripHeight, width - kItemIndent, stripHeight};
    int lineNumber = 1;
    for (int k = 0; k < count; ++k) {
        if (isSeparator(items.at(k))) {
            const double y = k * kSlotHeight + kSeparatorOffset;
            layout.separators.push_back({lineNumber++, kItemIndent, y, layout.itemArea.width, y});
        } else {
            layout.items.push_back(
                {k,
                 {kItemIndent, k * kSlotHeight, layout.itemArea.width - kItemIndent, kSlotHeight}});
        }
    }
    return layout;
}

}  // namespace zd::menu
