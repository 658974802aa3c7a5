#pragma once

#include <QPoint>

class QWidget;

namespace zd {

// Drags a borderless window as if its caption had been grabbed. Call it on every mouse move
// with the left button held over a part of the window that drags it; `globalPos` is the mouse
// position on the screen (pixels). The window system takes the move over where it can; where
// it cannot (no window manager, offscreen), the window follows the mouse itself until the
// button is released. Calls while a drag is under way change nothing.
void dragWindow(QWidget* window, const QPoint& globalPos);

// True while the window follows the mouse by itself (the fallback above).
bool isFollowingMouse(const QWidget* window);

}  // namespace zd
