#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

// Rules of the options window that need no widget: how stored texts become control values,
// the frame box's keys, the play list's row arithmetic and its duplicate pass.
namespace zd::options {

// The slider position a stored text asks for: the whole number nearest to it (halves to even),
// or nullopt when the text is not a number or the number lies outside min..max (the slider then
// keeps its position).
std::optional<int> sliderValueFrom(const QString& stored, int min, int max);

// The check box's value after loading a stored text over `current`: "0" and "1" set it, any
// other number leaves it, a text that is not a number ticks it (a missing key reads as the key's
// own name, so a first start shows the box ticked).
int checkValueFrom(const QString& stored, int current);

// Whether the frame box keeps a typed character: only the digits 0 to 9.
bool isFrameDigit(QChar typed);

// The frame number of the frame box's text, or nullopt when it holds no whole number that the
// movie control can take.
std::optional<qint32> frameNumberFrom(const QString& text);

// The seek bar's position for a frame: nullopt when the frame does not fit the bar's 16 bits.
std::optional<qint16> seekBarValueFor(qint32 frame);

// The entry row under a point `y` pixels below the top of a list showing `firstVisible` at its
// top, with rows `rowHeight` pixels high; -1 when y is above the list or the height is unknown.
int rowUnderPoint(int y, int rowHeight, int firstVisible);

// Removes every later entry whose path equals (exactly, letter case counts) an earlier one,
// taking the same position out of `names` and of `paths`, so the two lists stay paired. Two
// different paths with the same name both stay. `List` offers listCount(), list(i) and
// removeItem(i) (false when the position does not exist). Returns the number of pairs removed.
template <class List>
int removeDuplicatePaths(List& names, List& paths) {
    int removed = 0;
    for (int i = 0; i < paths.listCount() - 1; ++i) {
        const QString path = paths.list(i);
        for (int j = i + 1; j < paths.listCount(); ++j) {
            if (paths.list(j) == path) {
                paths.removeItem(j);
                names.removeItem(j);
                ++removed;
                --j;
            }
        }
    }
    return removed;
}

}  // namespace zd::options
