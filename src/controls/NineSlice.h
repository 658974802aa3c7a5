#pragma once

#include <QRect>
#include <array>

namespace zd::controls {

struct NineSlicePart {
    QRect target;
    QRect source;  // within one 18 x 21 skin cell
};

// The nine pieces that paint an 18 x 21 cell onto a width x height face: 3-pixel corners at
// their own size, edges stretched along their length, the 12 x 15 centre stretched both ways.
// Pieces of a face too small for them come out empty.
std::array<NineSlicePart, 9> nineSliceParts(int width, int height);

}  // namespace zd::controls
