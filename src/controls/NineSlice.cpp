#include "controls/NineSlice.h"

#include <algorithm>

namespace zd::controls {

std::array<NineSlicePart, 9> nineSliceParts(int width, int height) {
    const int w = width;
    const int h = height;
    const int midW = std::max(0, w - 6);
    const int midH = std::max(0, h - 6);
    return {{
        {QRect(0, 0, 3, 3), QRect(0, 0, 3, 3)},            // top-left corner
        {QRect(w - 3, 0, 3, 3), QRect(15, 0, 3, 3)},       // top-right corner
        {QRect(w - 3, h - 3, 3, 3), QRect(15, 18, 3, 3)},  // bottom-right corner
        {QRect(0, h - 3, 3, 3), QRect(0, 18, 3, 3)},       // bottom-left corner
        {QRect(3, 0, midW, 3), QRect(3, 0, 12, 3)},        // top edge
        {QRect(w - 3, 3, 3, midH), QRect(15, 3, 3, 15)},   // right edge
        {QRect(0, 3, 3, midH), QRect(0, 3, 3, 15)},        // left edge
        {QRect(3, h - 3, midW, 3), QRect(3, 18, 12, 3)},   // bottom edge
        {QRect(3, 3, midW, midH), QRect(3, 3, 12, 15)},    // centre
    }};
}

}  // namespace zd::controls
