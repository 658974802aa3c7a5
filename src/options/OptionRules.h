#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

// Rules of the options window that need no widget: the frame box's keys and number, and the
// play list's row arithmetic.
namespace zd::options {

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

}  // namespace zd::options
