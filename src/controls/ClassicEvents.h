#pragma once

#include <QString>
#include <Qt>

// The arguments of the controls' key and mouse events, in the form their handlers expect:
// 16-bit virtual-key codes (A = 65, Enter = 13, Left = 37, F1 = 112), shift state as a sum of
// 1 (Shift), 2 (Ctrl) and 4 (Alt), mouse buttons as a sum of 1 (left), 2 (right), 4 (middle).
namespace zd::controls {

// 0 for a key that has no code in that table.
qint16 classicKeyCode(int qtKey, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
qint16 classicShiftState(Qt::KeyboardModifiers modifiers);
qint16 classicButtons(Qt::MouseButtons buttons);
// The character a key press types (its UTF-16 code unit), 0 when it types none.
qint16 classicKeyAscii(const QString& text);

}  // namespace zd::controls

namespace zd {

// The mouse buttons as the windows' handlers compare them.
enum MouseButton { kLeftButton = 1, kRightButton = 2, kMiddleButton = 4 };

}  // namespace zd
